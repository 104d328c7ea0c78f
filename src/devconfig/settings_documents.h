// The documents and requests of the batch settings, byte for byte as the devices expect them.
// Every inserted text value is escaped, so ordinary values give exactly the devices' formats
// and a value holding markup cannot break out of its attribute.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vdz {

// ---- Title overlay -------------------------------------------------------------------------

struct TitleOverlayValues {
  int enable = 1;
  int position_code = 4097;
  int overlay_info = 3;  // Transparency
  int style = 3;
  int add_ip = 1;
  int add_model = 1;
  int add_serial = 0;
  int show_weekday = 1;
  int font_size = 0;
  std::string title = "IPCAMERA";  // UTF-8
};

struct OverlayPositions {
  int time_x, time_y, title_x, title_y;
};
// The four nibbles of the position code, most significant first: 0x1100 gives 1, 1, 0, 0.
OverlayPositions PositionsFromCode(int code);

// Title text, then "[model]" without "NVS-IPCAM-", the address, "[serial]", each when asked.
std::string ComposeTitle(const TitleOverlayValues& values, std::string_view device_type,
                         std::string_view ip, std::string_view serial);

// Two lowercase hexadecimal digits per byte.
std::string HexBytes(std::string_view bytes);

// The overlay document for one composed title (UTF-8): Title carries it in the narrow code
// page, TitleUtf8 in UTF-8, both as hexadecimal.
std::string BuildTitleOverlayDocument(const TitleOverlayValues& values, std::string_view title);

// ---- Platform ------------------------------------------------------------------------------

struct PlatformValues {
  bool enable = false;
  std::string server;
  uint16_t port = 10001;
  std::string account;
  std::string password;
  bool play_tone = false;
  bool increment_account = true;
};

// The account for the n-th checked device (n from 0): the number it holds plus n, anything
// from the first comma on kept as it stands.
std::string IncrementedAccount(std::string_view account, int n);

std::string BuildPlatformDocument(const PlatformValues& values, std::string_view account);

// ---- Small documents and requests ----------------------------------------------------------

std::string BuildDeviceLanguageDocument(std::string_view language);  // "en_us", ...

struct MotionValues {
  int enable = 0, sensitivity = 80, threshold = 20, columns = 4, rows = 3;
};
inline constexpr int kMotionMaxRows = 18;
inline constexpr int kMotionMaxColumns = 22;
inline constexpr std::size_t kMotionDocumentMaxBytes = 5120;
std::string BuildMotionDocument(int enable, int sensitivity, int threshold, int rows, int columns);
// BlockCount holds the detection grid's columns in its high 16 bits and its rows in the low.
long long MotionBlockCount(int columns, int rows);
struct MotionGridSize {
  int columns, rows;
};
// {0, 0} for a count outside the grid's limits.
MotionGridSize MotionGridFromBlockCount(long long count);

struct LocalTime {
  int year, month, day, hour, minute, second;
};
LocalTime CurrentLocalTime();
std::string BuildTimeSyncRequest(const LocalTime& t);

std::string BuildOutputPortRequest(int value);

// The Encode document that sets only the format of both streams ("H264" or "H265").
std::string BuildEncodingTypeDocument(std::string_view format);

std::string BuildImageParameterRequest(int mctf, int gain, int shutter_max);

// ---- Time and maintenance ------------------------------------------------------------------

inline constexpr int kTimeSourceNtp = 0;
struct TimeConfigValues {
  int time_source = kTimeSourceNtp;  // 0 NTP, 1 manual, 2 P2P
  int zone_value = 1200;
  std::string server;    // blanks around it already removed
  std::string port;      // as typed: "080" stays "080"
  std::string interval;  // seconds, as typed
};
std::string BuildTimeConfigDocument(const TimeConfigValues& values);

std::string BuildMaintenanceDocument(int enable, int day, int hour, int minute, int second);

// ---- Encoding (the encoding dialog's whole document) ---------------------------------------

struct EncodeStreamSettings {
  std::string resolution, format, bitrate_control, initquant, bitrate, framerate;
  // Written only where the device offers LBR.
  int lbr_enable = 0, lbr_style = 1, lbr_bitratemode = 0, lbr_motionlevel = 1, lbr_noicelevel = 0;
  std::string lbr_bitrate = "0";
};

struct EncodeAdvancedSettings {
  int encode_profile = 0;
  int wdr_mode = 0;
  std::string wdr_value;  // written when WDR is in use
  int dfrog_flag = 0;
  std::string dfrog_value;  // written when anti-fog is in use
  std::string wdr_start = "00:00:00", wdr_end = "00:00:00";
  int disable_private_data = 0;
  int enc_mode = 0;
  int noice_level = 0;
  int shutter_mode = 0;
  std::string shutter_speed = "25";
};

std::string BuildEncodeDocument(const EncodeStreamSettings& main, const EncodeStreamSettings& sub,
                                const EncodeAdvancedSettings& advanced, bool lbr_supported);

}  // namespace vdz
