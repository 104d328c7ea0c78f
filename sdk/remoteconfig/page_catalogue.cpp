#include "page_catalogue.h"

#include <algorithm>

#include "protocol/protocol_numbers.h"

namespace vdz::remoteconfig {
namespace {

using K = FieldKind;

constexpr FieldChoice kTimeModes[] = {
    {"NTP", "IDS_STR_ZH_CN_TIMESETUP_TIPS4"}, {"MANUAL", "IDS_STR_ZH_CN_MANUAL"}, {"P2P", nullptr}};
// The maintenance dialog's day list: Monday first, then every day.
constexpr FieldChoice kDays[] = {{"0", "IDS_STR_ZH_CN_MON"},  {"1", "IDS_STR_ZH_CN_TUE"},
                                 {"2", "IDS_STR_ZH_CN_WED"},  {"3", "IDS_STR_ZH_CN_THUR"},
                                 {"4", "IDS_STR_ZH_CN_FRID"}, {"5", "IDS_STR_ZH_CN_SAT"},
                                 {"6", "IDS_STR_ZH_CN_SUN"},  {"7", "IDS_STR_ZH_CN_EDAY"}};
constexpr FieldChoice kOverlayInfo[] = {
    {"0", "TEXT10"}, {"1", "TEXT11"}, {"2", "TEXT12"}, {"3", "TEXT13"}};
constexpr FieldChoice kOsdStyles[] = {{"0", "IDC_OSD_STYLE_1"},
                                      {"1", "IDC_OSD_STYLE_2"},
                                      {"2", "IDC_OSD_STYLE_3"},
                                      {"3", "IDC_OSD_STYLE_4"}};
constexpr FieldChoice kFontSizes[] = {{"0", "IDS_STR_FONT_SIZE_NORMAL"},
                                      {"1", "IDS_STR_FONT_SIZE_BIG"},
                                      {"2", "IDS_STR_FONT_SIZE_LARGE"}};
constexpr FieldChoice kFormats[] = {{"H264", nullptr}, {"H265", nullptr}};
constexpr FieldChoice kBitRateControls[] = {{"CBR", nullptr}, {"VBR", nullptr}};
constexpr FieldChoice kLbrStyles[] = {{"1", "IDS_STR_ZH_CN_VE_LBR_STYLE_0"},
                                      {"2", "IDS_STR_ZH_CN_VE_LBR_STYLE_1"}};
constexpr FieldChoice kLbrModes[] = {{"0", "IDS_STR_ZH_CN_VE_LBR_BITRATEMODE_0"},
                                     {"1", "IDS_STR_ZH_CN_VE_LBR_BITRATEMODE_1"}};
constexpr FieldChoice kLbrMotion[] = {{"0", "IDS_STR_ZH_CN_VE_LBR_MOTIONLEVEL_0"},
                                      {"1", "IDS_STR_ZH_CN_VE_LBR_MOTIONLEVEL_1"},
                                      {"2", "IDS_STR_ZH_CN_VE_LBR_MOTIONLEVEL_2"}};
constexpr FieldChoice kLbrNoise[] = {{"0", "IDS_STR_ZH_CN_VE_LBR_NOICELEVEL_0"},
                                     {"1", "IDS_STR_ZH_CN_VE_LBR_NOICELEVEL_1"},
                                     {"2", "IDS_STR_ZH_CN_VE_LBR_NOICELEVEL_2"}};
constexpr FieldChoice kAutoManual[] = {{"0", "IDS_STR_AUTO_KM_TIP"}, {"1", "IDS_STR_ZH_CN_MANUA"}};
constexpr FieldChoice kAccountStatus[] = {{"Enable", "IDS_STR_ZH_CN_ENABLE"},
                                          {"Disable", "IDS_STR_ZH_CN_DISABLE"}};

constexpr CatalogueEntry kTime[] = {
    {"TimeConfig @TimeMode", "IDS_STR_ZH_CN_TIMESETUP_TIPS1", "RC_GROUP_CLOCK", K::kChoice, 0, 0,
     kTimeModes},
    {"TimeConfig @TimeZone", "IDS_STR_ZH_CN_TIMESETUP_TIPS2", "RC_GROUP_CLOCK", K::kTimeZone},
    {"TimeConfig/NTPConfig @ServerIP", "IDS_STR_ZH_CN_TIMESETUP_TIPS5",
     "IDS_STR_ZH_CN_TIMESETUP_TIPS4", K::kNtpServer},
    {"TimeConfig/NTPConfig @ServerPort", "IDS_STR_ZH_CN_TIMESETUP_TIPS6",
     "IDS_STR_ZH_CN_TIMESETUP_TIPS4", K::kNumber, 1, 65535},
    {"TimeConfig/NTPConfig @RefreshInterval", "IDS_STR_ZH_CN_TIMESETUP_TIPS7",
     "IDS_STR_ZH_CN_TIMESETUP_TIPS4", K::kNumber, 60, 999999},
};

constexpr CatalogueEntry kOsd[] = {
    {"Overlay @Enable", "ENABLE", "RC_GROUP_DISPLAY", K::kSwitch},
    {"Overlay @Transparency", "IDC_STATIC_OSD_POSITION_OVERLEY", "RC_GROUP_DISPLAY", K::kChoice, 0,
     0, kOverlayInfo},
    {"Overlay @Style", "IDC_STATIC_OSD_STYLE", "RC_GROUP_DISPLAY", K::kChoice, 0, 0, kOsdStyles},
    {"Overlay @Fontsize", "IDS_STR_FONT_SIZE", "RC_GROUP_DISPLAY", K::kChoice, 0, 0, kFontSizes},
    {"Overlay @Week", "IDS_STR_DISPLAY_WEEK", "RC_GROUP_DISPLAY", K::kSwitch},
    {"Overlay/TitleOverlay @Title", "TEXT4", "RC_GROUP_TITLE_OVERLAY", K::kHexTitle},
    {"Overlay/TitleOverlay @PosX", "RC_POS_X", "RC_GROUP_TITLE_OVERLAY", K::kNumber, 0, 15},
    {"Overlay/TitleOverlay @PosY", "RC_POS_Y", "RC_GROUP_TITLE_OVERLAY", K::kNumber, 0, 15},
    {"Overlay/TimeOverlay @PosX", "RC_POS_X", "RC_GROUP_TIME_OVERLAY", K::kNumber, 0, 15},
    {"Overlay/TimeOverlay @PosY", "RC_POS_Y", "RC_GROUP_TIME_OVERLAY", K::kNumber, 0, 15},
};

// Each stream's group comes from the element's occurrence (StreamGroupKey).
constexpr CatalogueEntry kEncode[] = {
    {"Encode/EncodeConfig @Resolution", "VE_RESOLUTION", nullptr, K::kResolution},
    {"Encode/EncodeConfig @EncodeFormat", "VE_ENCODE_FORMAT", nullptr, K::kChoice, 0, 0, kFormats},
    {"Encode/EncodeConfig @BitRateControl", "VE_BITRATE_CONTROL", nullptr, K::kChoice, 0, 0,
     kBitRateControls},
    {"Encode/EncodeConfig @Initquant", "VE_IFRAME_INTERVAL", nullptr, K::kNumber, 1, 200},
    {"Encode/EncodeConfig @BitRate", "VE_BITRATE", nullptr, K::kBitRate},
    {"Encode/EncodeConfig @FrameRate", "VE_FRAMERATE", nullptr, K::kFrameRate},
    {"Encode/EncodeConfig @lbr_enable", "VE_LBR_ENABLE", nullptr, K::kSwitch},
    {"Encode/EncodeConfig @lbr_style", "VE_LBR_STYLE", nullptr, K::kChoice, 0, 0, kLbrStyles},
    {"Encode/EncodeConfig @lbr_bitratemode", "VE_LBR_MODE", nullptr, K::kChoice, 0, 0, kLbrModes},
    {"Encode/EncodeConfig @lbr_bitrate", "VE_LBR_BITRATE", nullptr, K::kNumber, 0, 100000},
    {"Encode/EncodeConfig @lbr_motionlevel", "VE_LBR_MOTION", nullptr, K::kChoice, 0, 0,
     kLbrMotion},
    {"Encode/EncodeConfig @lbr_noicelevel", "VE_LBR_NOISE", nullptr, K::kChoice, 0, 0, kLbrNoise},
    {"Encode/AdvanceEncodeConfig @EncodeProfile", "VE_BASE_PROFILE", "VE_ADVANCED", K::kSwitch},
    {"Encode/AdvanceEncodeConfig @WDRMode", "VE_WDR", "VE_ADVANCED", K::kSwitch},
    {"Encode/AdvanceEncodeConfig @WDRValue", "VE_WDR_RANGE", "VE_ADVANCED", K::kNumber, 0, 255},
    {"Encode/AdvanceEncodeConfig @DfrogFlag", "VE_ANTIFOG", "VE_ADVANCED", K::kSwitch},
    {"Encode/AdvanceEncodeConfig @DfrogValue", "VE_ANTIFOG_RANGE", "VE_ADVANCED", K::kNumber, 0,
     255},
    {"Encode/AdvanceEncodeConfig @WDRStartTime", "VE_WDR_START", "VE_ADVANCED", K::kTime},
    {"Encode/AdvanceEncodeConfig @WDREndTime", "VE_WDR_END", "VE_ADVANCED", K::kTime},
    {"Encode/AdvanceEncodeConfig @DisablePrivateData", "VE_PRIVATE_DATA", "VE_ADVANCED",
     K::kSwitch},
    {"Encode/AdvanceEncodeConfig @EncMode", "VE_ENCODE_MODE", "VE_ADVANCED", K::kNumber, 0, 4},
    {"Encode/AdvanceEncodeConfig @NoiceLevel", "VE_NOISE_LEVEL", "VE_ADVANCED", K::kNumber, 0, 6},
    {"Encode/AdvanceEncodeConfig @shutter_mode", "VE_SHUTTER_MODE", "VE_ADVANCED", K::kChoice, 0, 0,
     kAutoManual},
    {"Encode/AdvanceEncodeConfig @shutter_speed", "VE_SHUTTER_SPEED", "VE_ADVANCED", K::kNumber, 1,
     100000},
};

constexpr CatalogueEntry kImage[] = {
    {"VideoCapture @Brightness", "RC_BRIGHTNESS", "IMAGEPARAMDLG", K::kSlider, 0, 100},
    {"VideoCapture @Contrast", "RC_CONTRAST", "IMAGEPARAMDLG", K::kSlider, 0, 100},
    {"VideoCapture @Saturation", "RC_SATURATION", "IMAGEPARAMDLG", K::kSlider, 0, 100},
    {"VideoCapture @Hue", "RC_HUE", "IMAGEPARAMDLG", K::kSlider, 0, 100},
    {"VideoCapture @Sharpness", "RC_SHARPNESS", "IMAGEPARAMDLG", K::kSlider, 0, 100},
    {"VideoCapture @Exposure", "RC_EXPOSURE", "IMAGEPARAMDLG", K::kNumber, 0, 100},
    {"VideoCapture @Mirror", "STRING_VIDEO_MIRROR_LR", "STRING_VIDEO_FLIP", K::kSwitch},
    {"VideoCapture @Flip", "STRING_VIDEO_FLIP_UD", "STRING_VIDEO_FLIP", K::kSwitch},
    {"VideoCapture @NightMode", "RC_NIGHT_MODE", "STRING_VIDEO_FLIP", K::kSwitch},
    {"VideoCapture @WDR", "VE_WDR", "STRING_VIDEO_FLIP", K::kSwitch},
};

constexpr CatalogueEntry kMotion[] = {
    {"MotionDetectAlarm @Enable", "ENABLE", "TEXT17", K::kSwitch},
    {"MotionDetectAlarm @BlockCount", "TEXT19", "TEXT17", K::kGridSize},
    {"MotionDetectAlarm @BlockConfig", "TEXT19", "TEXT17", K::kMotionGrid},
    {"MotionDetectAlarm @Sensitivity", "SENSITIVITY", "TEXT17", K::kSlider, 0, 100},
    {"MotionDetectAlarm @AlarmThreshold", "TEXT18", "TEXT17", K::kSlider, 0, 100},
    {"MotionDetectAlarm @DayNightSwitch", "RC_NIGHT_SWITCH", "RC_GROUP_NIGHT", K::kSwitch},
    {"MotionDetectAlarm @NightSensitivity", "SENSITIVITY", "RC_GROUP_NIGHT", K::kSlider, 0, 100},
    {"MotionDetectAlarm @NightAlarmThreshold", "TEXT18", "RC_GROUP_NIGHT", K::kSlider, 0, 100},
    {"MotionDetectAlarm @NightStartTime", "RC_SPAN_START", "RC_GROUP_NIGHT", K::kTime},
    {"MotionDetectAlarm @NightEndTime", "RC_SPAN_END", "RC_GROUP_NIGHT", K::kTime},
    {"MotionDetectAlarm/EnableTimeList/Workday @Day", "IDS_STR_ZH_CN_SYSRMDATE",
     "RC_GROUP_SCHEDULE", K::kChoice, 0, 0, kDays},
    {"MotionDetectAlarm/EnableTimeList/Workday/TimeSpan @StartTime", "RC_SPAN_START",
     "RC_GROUP_SCHEDULE", K::kTime},
    {"MotionDetectAlarm/EnableTimeList/Workday/TimeSpan @EndTime", "RC_SPAN_END",
     "RC_GROUP_SCHEDULE", K::kTime},
    {"MotionDetectAlarm/AlarmAction/AlarmOutputAction @Enable", "RC_ALARM_OUTPUT",
     "RC_GROUP_ACTIONS", K::kSwitch},
    {"MotionDetectAlarm/AlarmAction/AlarmOutputAction @Duration", "RC_ALARM_DURATION",
     "RC_GROUP_ACTIONS", K::kNumber, 1, 3600},
    {"MotionDetectAlarm/AlarmAction/PTZAction @Enable", "RC_PTZ_ACTION", "RC_GROUP_ACTIONS",
     K::kSwitch},
};

constexpr CatalogueEntry kMaintain[] = {
    {"MaintainConfig @Enable", "ENABLE", "IDS_STR_ZH_CN_SYSRM", K::kSwitch},
    {"MaintainConfig @Day", "IDS_STR_ZH_CN_SYSRMDATE", "IDS_STR_ZH_CN_SYSRM", K::kChoice, 0, 0,
     kDays},
    {"MaintainConfig @Time", "IDS_STR_ZH_CN_SYSRMTIME", "IDS_STR_ZH_CN_SYSRM", K::kTime},
};

constexpr CatalogueEntry kUsers[] = {
    {"UserConfig/Account @Username", "RC_USER_NAME", "RC_PAGE_USERS", K::kReadOnly},
    {"UserConfig/Account @Group", "RC_USER_GROUP", "RC_PAGE_USERS", K::kReadOnly},
    {"UserConfig/Account @Status", "ENABLE", "RC_PAGE_USERS", K::kChoice, 0, 0, kAccountStatus},
    {"UserConfig/Account @Password", "PASSWORD", "RC_PAGE_USERS", K::kPassword},
};

constexpr CatalogueEntry kPlatform[] = {
    {"PlatformConfig/VortanConfig @Enable", "ENABLE", "TEXT2", K::kSwitch},
    {"PlatformConfig/VortanConfig @Server", "IDS_STR_ZH_CN_PLATF_TIPS2", "TEXT2", K::kNtpServer},
    {"PlatformConfig/VortanConfig @Port", "IDS_STR_ZH_CN_PLATF_TIPS3", "TEXT2", K::kNumber, 1,
     65535},
    {"PlatformConfig/VortanConfig @Username", "IDS_STR_ZH_CN_PLATF_TIPS4", "TEXT2", K::kText},
    {"PlatformConfig/VortanConfig @Password", "IDS_STR_ZH_CN_PLATF_TIPS5", "TEXT2", K::kPassword},
    {"PlatformConfig/VortanConfig @PlayTone", "IDC_PLATFORM_PLAYSTARTVOICE_NAME", "TEXT2",
     K::kSwitch},
};

}  // namespace

std::span<const CatalogueEntry> PageFields(int command) {
  switch (command) {
    case proto::kCfgTime:
      return kTime;
    case proto::kCfgTitleOverlay:
      return kOsd;
    case proto::kCfgEncoding:
      return kEncode;
    case proto::kCfgVideoCapture:
      return kImage;
    case proto::kCfgMotionDetection:
      return kMotion;
    case proto::kCfgMaintenance:
      return kMaintain;
    case proto::kCfgPassword:
      return kUsers;
    case proto::kCfgPlatform:
      return kPlatform;
    default:
      return {};
  }
}

const CatalogueEntry* FindField(int command, std::string_view name) {
  const auto fields = PageFields(command);
  const auto it = std::find_if(fields.begin(), fields.end(),
                               [&](const CatalogueEntry& f) { return name == f.name; });
  return it == fields.end() ? nullptr : &*it;
}

const char* StreamGroupKey(int occurrence) {
  return occurrence == 0 ? "VE_MAIN_STREAM" : "VE_SUB_STREAM";
}

}  // namespace vdz::remoteconfig
