// The language keys of every visible text: the one list the code and the language files share.
//
// Code names a key as vdz::keys::STARTSEARCH (or, where a key is computed, passes one of
// kAllLanguageKeys); lang/*.xml hold one element per key in each language, and
// language_files_test checks both sides against this list. Add a key here first.
//
// Not keys: the fixed message-box captions "ERROR" and "INFO", and the literal texts the
// dialogs show as they stand ("MCTF ERROR", gain and grid names, "H264"/"H265", ...).
// Key texts are never used as printf formats; callers compose counts and values around them.
#pragma once

#include <cstddef>

// clang-format off
#define VDZ_LANGUAGE_KEYS(X)                                                                    \
  /* main window: control captions, search button and status line, adapter list */            \
  X(NETCARD) X(ALLNETCARDS) X(STARTSEARCH) X(STOPSEARCH) X(TEXT34) X(TEXT35) X(CHECKALL)      \
  X(AUDIO) X(TEXT33) X(BTNTEXT1) X(ID_BATCH_IP) X(ID_BATCH_MAINTANCE) X(BTNTEXT4)             \
  X(BTNTEXT5) X(BTNTEXT6) X(BTNTEXT7) X(BTNTEXT8) X(BTNTEXT9) X(BTNTEXT10) X(BTNTEXT12)       \
  X(BTNTEXT13) X(BTNTEXT14) X(BTNTEXT15) X(TOUR) X(ID_BATCH_SET_VIDEO) X(BATCHIMAGEPARAM)     \
  X(BATCHSNAP) X(BATCH_SET_CCD) X(ID_BATCH_IO_OUTPUT) X(STRING_RA_DIALOG) X(STRING_PRINT_QR)  \
  X(BATCH_TERMINAL_SET) X(BATCH_REBOOT_SERVICE) X(ABOUT_APP) X(NOT_AVAILABLE_IN_BUILD)        \
  X(SDK_START_FAILED) X(FILTER_HINT) X(COUNT_LISTED) X(COUNT_ONLINE) X(COUNT_OFFLINE) \
  X(COUNT_UPGRADING) X(EXPORT_LIST) X(EXPORT_LIST_DONE) X(EXPORT_LIST_FAILED) X(BATCH_SUMMARY) \
  X(SAVE_BATCH_REPORT) X(BATCH_REPORT_EMPTY) X(BATCH_REPORT_SAVE_FAILED) \
  X(JOB_PROGRESS) X(JOB_BUSY) X(JOB_CANCEL) X(NO_FREE_ADDRESS) \
  X(SEARCH_RANGES) X(SEARCH_RANGES_PROMPT) X(SEARCH_RANGES_NOT_SAVED) X(ADD_BY_ADDRESS) \
  X(ADD_BY_ADDRESS_PROMPT) X(ADD_BY_ADDRESS_BAD) \
  X(NOT_SUPPORTED_BY_DEVICE) X(ONVIF_IDENTIFYING) X(ONVIF_ONLINE) X(ONVIF_LOGIN_FAILED) \
  X(ONVIF_UNREACHABLE) X(ONVIF_ACCOUNTS) X(ONVIF_ACCOUNTS_PROMPT) X(ONVIF_ACCOUNTS_NOT_SAVED) \
  /* main window: tooltips of the upgrade and upload buttons */                                \
  X(STRING_TIPS_UPDATE_DIR) X(STRING_TIPS_UPDATE_FILE) X(STRING_TIPS_UPDATE_CFG)              \
  /* main window: pop-up menus of the batch buttons */                                         \
  X(BTNTEXT2) X(BTNTEXT3) X(IDS_STR_ZH_CN_LAN_EN) X(IDS_STR_ZH_CN_LAN_CN)                     \
  X(IDS_STR_ZH_CN_LAN_TW) X(BATCH_SCAN_BADCCD) X(BATCH_SAVE_BADCCD) X(ID_BATCH_SET_VIDEOTYPE) \
  X(ID_BATCH_SET_VIDEOENCODE) X(ID_BATCH_SYNC_TIME) X(ID_BATCH_CONFIG_TIME)                   \
  /* device list context menu, remote-configuration sub-menu and window caption */            \
  X(TEXT23) X(TEXT37) X(LANGAGE_ZH_CN) X(LANGAGE_ZH_TW) X(LANGAGE_ENGLISH) X(LANGAGE_KO_KO)   \
  X(LANGAGE_PL_PL) X(TEXT27) X(TEXT28) X(TEXT29) X(TEXT30) X(TEXT31) X(TEXT32) X(SNAPPIC)     \
  X(OPEN_SNAPPIC_PATH)                                                                         \
  /* label window and remote configuration pages */                                            \
  X(PRINT_SHOW_MODEL) X(PRINT_SHOW_MAC) X(PRINT_SHOW_SN) X(PRINT_SHOW_IP)                      \
  X(PRINT_SHOW_ACCOUNT) X(PRINT_SHOW_PICTURE) X(PRINT_SETUP) X(PRINT_PRINT) X(RC_PAGE_NETWORK) \
  X(RC_PAGE_TIME) X(RC_PAGE_OSD) X(RC_PAGE_ENCODE) X(RC_PAGE_IMAGE) X(RC_PAGE_MOTION)          \
  X(RC_PAGE_MAINTAIN) X(RC_PAGE_USERS) X(RC_PAGE_PLATFORM) X(RC_APPLY) X(RC_RELOAD)            \
  X(RC_CONNECTING) X(RC_LOGIN_REFUSED) X(RC_UNREACHABLE) X(RC_NO_DOCUMENT) X(RC_APPLY_OK)      \
  X(RC_APPLY_FAILED) X(RC_UNCHANGED) X(RC_BAD_VALUE) X(RC_ADDRESS)                             \
  X(RC_GROUP_CLOCK) X(RC_GROUP_DISPLAY) X(RC_GROUP_TITLE_OVERLAY) X(RC_GROUP_TIME_OVERLAY)     \
  X(RC_POS_X) X(RC_POS_Y) X(RC_BRIGHTNESS) X(RC_CONTRAST) X(RC_SATURATION) X(RC_HUE)           \
  X(RC_SHARPNESS) X(RC_EXPOSURE) X(RC_NIGHT_MODE) X(RC_NIGHT_SWITCH) X(RC_GROUP_NIGHT)         \
  X(RC_SPAN_START) X(RC_SPAN_END) X(RC_GROUP_SCHEDULE) X(RC_ALARM_OUTPUT)                      \
  X(RC_ALARM_DURATION) X(RC_PTZ_ACTION) X(RC_GROUP_ACTIONS) X(RC_USER_NAME) X(RC_USER_GROUP)   \
  X(RC_ADVANCED) X(RC_ADVANCED_NAME) X(RC_ADVANCED_VALUE) X(RC_REFUSED) X(RC_OUT_OF_RANGE)     \
  /* device list column headers (spliced into "name,width;..." header text) */                \
  X(IP) X(SN) X(MAC) X(VERSIONNUMBER) X(STATE) X(RUNNINGTIME) X(MODEL)                        \
  /* running-time units, each after "%d " */                                                   \
  X(DAY) X(HOUR) X(MIN) X(SEC)                                                                 \
  /* message boxes: confirmation caption, questions and whole-command refusals */             \
  X(TEXT21) X(MSGTIP11) X(MSGTIP12) X(MSGTIP13) X(MSGTIP14) X(MSGTIP15) X(MSGTIP16)           \
  X(MSGTIP17) X(MSGTIP24) X(MSGTIP25) X(MSGTIP26) X(MSGTIP37) X(MSGTIP38) X(TEXT20)           \
  X(TEXT22) X(MSG_BATCH_SET_LANGUAGE) X(ID_BATCH_SET_VIDEOTYPE_TIPS) X(REBOOT_TERM_SERVICE)   \
  X(REBOOT_TERM_SERVICE_CONFIRM) X(SNAPPING_WAIT) X(SUCCEED_SET_NUM)                          \
  X(STRING_ONLY_SUPPORT_ONE_CAMERA)                                                            \
  /* device status column: login, events and per-device operation results */                 \
  X(MSGTIP1) X(MSGTIP2) X(MSGTIP3) X(MSGTIP4) X(MSGTIP5) X(MSGTIP6) X(MSGTIP7) X(MSGTIP8)      \
  X(MSGTIP9) X(MSGTIP10) X(MSGTIP18) X(MSGTIP19) X(MSGTIP20) X(MSGTIP21) X(MSGTIP22)          \
  X(MSGTIP23) X(MSGTIP27) X(MSGTIP28) X(MSGTIP29) X(MSGTIP30) X(MSGTIP31) X(MSGTIP32)         \
  X(MSGTIP33) X(MSGTIP34) X(MSGTIP35) X(MSGTIP36) X(MSGTIP39) X(MSGTIP40) X(MSGTIP41)         \
  X(MSGTIP42) X(MSGTIP43) X(MSGTIP44) X(MSGTIP45) X(MSGSUCTIP43) X(MSGALMTIP2) X(MSGALMTIP3)  \
  X(IDS_ALARM) X(UPLOAD) X(RESTARTING) X(SNAPPIC_REQFAIL) X(SNAPPIC_SAVED)                    \
  X(SNAPPING_TIMEOUT) X(FILEDOWN_REQFAIL) X(FILEDOWNLOADDING) X(SET_TIMINGMAINTANCE_FAILED)   \
  X(SET_TIMECONFIG_FAILED) X(SET_PRESET_FAILED) X(SET_IOOUTPUT_FAILED) X(STRING_STARTTALK_OK) \
  X(STRING_STOPTALK_OK) X(STRING_STARTTALK_DEVBUSY) X(STRING_STARTTALK_PARAMERROR)            \
  X(STRING_STARTTALK_NOTSUPPORT) X(IDS_STR_ZH_CN_SET_FAILED)                                  \
  /* words shared by the dialogs */                                                            \
  X(OK) X(CANCEL) X(ENABLE) X(DISABLE) X(IDS_STR_ZH_CN_ENABLE) X(IDS_STR_ZH_CN_DISABLE)       \
  X(IDS_STR_ZH_CN_SAVE)                                                                        \
  /* IP settings dialog */                                                                     \
  X(TEXT36) X(TEXT1) X(DHCP) X(NETMASK) X(GETEWAY) X(DNS1) X(DNS2) X(MSGTIP46)                \
  /* password dialog */                                                                        \
  X(TEXT14) X(PASSWORD) X(TEXT15) X(MSGTIP51)                                                  \
  /* OSD title dialog */                                                                       \
  X(TEXT3) X(TEXT4) X(TEXT9) X(IDC_STATIC_OSD_POSITION_OVERLEY) X(IDC_STATIC_OSD_STYLE)       \
  X(TEXT5) X(TEXT6) X(TEXT7) X(TEXT8) X(TEXT5_1) X(TEXT6_1) X(TEXT7_1) X(TEXT8_1) X(TEXT10)   \
  X(TEXT11) X(TEXT12) X(TEXT13) X(IDC_OSD_STYLE_1) X(IDC_OSD_STYLE_2) X(IDC_OSD_STYLE_3)      \
  X(IDC_OSD_STYLE_4) X(IDS_STR_FONT_SIZE) X(IDS_STR_FONT_SIZE_NORMAL) X(IDS_STR_FONT_SIZE_BIG)\
  X(IDS_STR_FONT_SIZE_LARGE) X(IDS_STR_DISPLAY_WEEK)                                           \
  /* IPVS (access server) dialog */                                                            \
  X(TEXT2) X(IDS_STR_ZH_CN_PLATF_TIPS2) X(IDS_STR_ZH_CN_PLATF_TIPS3)                          \
  X(IDS_STR_ZH_CN_PLATF_TIPS4) X(IDS_STR_ZH_CN_PLATF_TIPS5)                                   \
  X(IDC_PLATFORM_PLAYSTARTVOICE_NAME) X(IDC_PLATFORM_INCREACE_USERNAME) X(MSGTIP47)           \
  X(MSGTIP48)                                                                                  \
  /* intercom terminal platform dialog */                                                      \
  X(BATCH_SET_ADDEXELICENSE) X(IDC_MODIFY_PROJECT) X(EMPTY_MEANS_NO_CHANGE)                   \
  X(SECONDSERVERADDR) X(DEVID) X(CLIENTID) X(DEVTYPE) X(BROADCASTHORNSTATE) X(TALKHORNSTATE)  \
  X(EXTAUDIOSTATE) X(C_OPEN) X(C_CLOSE) X(TALKCALVOL) X(NORMALCAPVOL) X(NORMALPLAYVOL)        \
  X(CALLINGVOL) X(NOISEALARMVOL) X(NOISEALARMMUSIC) X(HASAUD) X(HASVID_NAME) X(HASVID_NAME2)  \
  X(IS_NO) X(IS_YES) X(SERVERDEVID_NAME2) X(FTPIP_NAME) X(FTPPORT_NAME) X(FTPUSER_NAME)       \
  X(FTPPWD_NAME) X(FTPPATH_NAME) X(IOSNAP_ENA) X(DENOISE_ENA) X(DENOISEVALUE_NAME)            \
  X(IO3TIMERVALUE_NAME) X(SERIALRATE) X(REVERSED_CTRL_ENA) X(TALKHORN) X(EXTAUDIO)            \
  X(ALARM_PERIOD) X(IO_IN2_SWITCH_TYPE) X(IS_BUTTON) X(IS_DOOR) X(ERROR_CHECK)                \
  X(ERROR_CHECK_ENA) X(IOALARM) X(IOALARMPORT) X(TAMPER_ALARM_ENA) X(NET_MAINTAIN_ENA)       \
  X(AUDIO_MAINTAIN_ENA)                                                                        \
  /* time settings dialog */                                                                   \
  X(IDS_STR_ZH_CN_TIMESETUP_TIPS1) X(IDS_STR_ZH_CN_TIMESETUP_TIPS2)                           \
  X(IDS_STR_ZH_CN_TIMESETUP_TIPS3) X(IDS_STR_ZH_CN_TIMESETUP_TIPS4)                           \
  X(IDS_STR_ZH_CN_TIMESETUP_TIPS5) X(IDS_STR_ZH_CN_TIMESETUP_TIPS6)                           \
  X(IDS_STR_ZH_CN_TIMESETUP_TIPS7) X(IDS_STR_ZH_CN_MANUAL) X(IDS_STR_ZH_CN_SECOND)            \
  X(IDS_STR_ZH_CN_TIME) X(IDS_STR_ZH_CN_MSG_TIPS126) X(IDS_STR_ZH_CN_MSG_TIPS127)             \
  X(IDS_STR_ZH_CN_MSG_TIPS128)                                                                 \
  /* scheduled maintenance dialog */                                                           \
  X(IDS_STR_ZH_CN_SYSRM) X(IDS_STR_ZH_CN_SYSRMDATE) X(IDS_STR_ZH_CN_SYSRMTIME)                \
  X(IDS_STR_ZH_CN_MON) X(IDS_STR_ZH_CN_TUE) X(IDS_STR_ZH_CN_WED) X(IDS_STR_ZH_CN_THUR)        \
  X(IDS_STR_ZH_CN_FRID) X(IDS_STR_ZH_CN_SAT) X(IDS_STR_ZH_CN_SUN) X(IDS_STR_ZH_CN_EDAY)       \
  /* image parameter dialog */                                                                 \
  X(IMAGEPARAMDLG) X(MCTF) X(SHUTTERMAX) X(GAIN)                                               \
  /* motion-alarm dialog */                                                                    \
  X(TEXT16) X(TEXT17) X(TEXT18) X(TEXT19) X(SENSITIVITY)                                       \
  /* video encoding dialog */                                                                  \
  X(IDS_STR_ZH_CN_DEFAULT) X(CMediaCode_basemode) X(CMediaCode_advancemode)                   \
  X(IDS_STR_AUTO_KM_TIP) X(IDS_STR_ZH_CN_MANUA) X(IDS_STR_ZH_CN_VE_LBR_STYLE_0)               \
  X(IDS_STR_ZH_CN_VE_LBR_STYLE_1) X(IDS_STR_ZH_CN_VE_LBR_BITRATEMODE_0)                       \
  X(IDS_STR_ZH_CN_VE_LBR_BITRATEMODE_1) X(IDS_STR_ZH_CN_VE_LBR_MOTIONLEVEL_0)                 \
  X(IDS_STR_ZH_CN_VE_LBR_MOTIONLEVEL_1) X(IDS_STR_ZH_CN_VE_LBR_MOTIONLEVEL_2)                 \
  X(IDS_STR_ZH_CN_VE_LBR_NOICELEVEL_0) X(IDS_STR_ZH_CN_VE_LBR_NOICELEVEL_1)                   \
  X(IDS_STR_ZH_CN_VE_LBR_NOICELEVEL_2) X(IDS_STR_ZH_CN_MSG_TIPS25) X(IDS_STR_ZH_CN_MSG_TIPS26)\
  X(IDS_STR_ZH_CN_MSG_TIPS28) X(IDS_STR_ZH_CN_MSG_TIPS29) X(IDS_STR_ZH_CN_MSG_TIPS30)         \
  X(IDS_STR_PARAM_SCOPE_ERROR) X(IDS_STR_SHUTTER_SPEED_ERROR) X(MSG_VIDEO_ENCODE_SET)         \
  X(VE_MAIN_STREAM) X(VE_SUB_STREAM) X(VE_ENCODE_FORMAT) X(VE_RESOLUTION) X(VE_BITRATE_CONTROL) \
  X(VE_IFRAME_INTERVAL) X(VE_BITRATE) X(VE_FRAMERATE) X(VE_LBR_ENABLE) X(VE_LBR_STYLE)          \
  X(VE_LBR_MODE) X(VE_LBR_BITRATE) X(VE_LBR_MOTION) X(VE_LBR_NOISE) X(VE_ADVANCED)              \
  X(VE_BASE_PROFILE) X(VE_WDR) X(VE_WDR_RANGE) X(VE_ANTIFOG) X(VE_ANTIFOG_RANGE) X(VE_WDR_START) \
  X(VE_WDR_END) X(VE_PRIVATE_DATA) X(VE_ENCODE_MODE) X(VE_NOISE_LEVEL) X(VE_SHUTTER_MODE)       \
  X(VE_SHUTTER_SPEED)                                                                          \
  /* talk/broadcast console */                                                                 \
  X(STRING_G711U) X(STRING_AAC) X(STRING_PCM) X(STRING_8000) X(STRING_16000) X(STRING_32000)  \
  X(STRING_48000) X(STRING_UDP) X(STRING_TCP) X(STRING_MULTICAST) X(STRING_MP3_AUDIOFILE)     \
  X(STRING_VOICE_SAMPLE) X(IDS_STR_ZH_CN_PB_TIPS24) X(STRING_TALK_PARAM)                      \
  X(STRING_CAMERA_AUDIO_SETTING) X(STRING_VIDEO_FLIP) X(STRING_EXT_SETTING)                   \
  X(STRING_VIDEO_MIRROR_LR) X(STRING_VIDEO_FLIP_UD)                                           \
  X(STRING_EXTNUMBER) X(STRING_MAINNUMBER) X(STRING_EXTNAME) X(STRING_ADDRESSBOXIP)           \
  X(STRING_MANAGECENTER) X(STRING_NOTES) X(IDC_STATIC_DEV_FILELIST_GROUP)                     \
  X(IDS_STR_AUDIOACTION_PLAY_START) X(IDS_STR_AUDIOACTION_PLAY_STOP)                          \
  X(STRING_PLEASE_SELECT_DEVICES) X(STRING_PLEASE_SELECT_AUDIOFILES)                          \
  X(STRING_AUDIOFILE_OPENFAILED) X(STRING_STARTTALK_FAILED) X(STRING_ADD_AUDIOFILES)           \
  X(STRING_CLEAR_AUDIOFILES) X(STRING_CAPTURE_VOLUME) X(STRING_PLAYBACK_VOLUME)                \
  X(STRING_CALLKEY_ANSWER)
// clang-format on

namespace vdz {
namespace keys {
// The stringised token, not an expansion, so a same-named macro elsewhere cannot change a key.
#define VDZ_DEFINE_LANGUAGE_KEY(name) inline constexpr char name[] = #name;
VDZ_LANGUAGE_KEYS(VDZ_DEFINE_LANGUAGE_KEY)
#undef VDZ_DEFINE_LANGUAGE_KEY
}  // namespace keys

// Every key, in list order; the language files must hold exactly these.
inline constexpr const char* kAllLanguageKeys[] = {
#define VDZ_LIST_LANGUAGE_KEY(name) keys::name,
    VDZ_LANGUAGE_KEYS(VDZ_LIST_LANGUAGE_KEY)
#undef VDZ_LIST_LANGUAGE_KEY
};

inline constexpr std::size_t kLanguageKeyCount =
    sizeof kAllLanguageKeys / sizeof kAllLanguageKeys[0];

}  // namespace vdz
