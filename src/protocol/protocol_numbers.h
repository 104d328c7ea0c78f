// The numbers devices and the device library speak: status events, system-control and
// configuration commands, discovery message codes and ports. Field engineers know them by
// number, so the values never change; code, the device side and tests use these names.
#pragma once

#include <cstdint>

namespace vdz::proto {

// Status events (the device library's status callback).
inline constexpr int kEventUpgradeDone = 2;          // image written, the device restarts
inline constexpr int kEventUpgradeFailed = 3;        // the device failed to write the image
inline constexpr int kEventSessionUp = 4;            // logged in, also after each reconnection
inline constexpr int kEventUpgradeWrongImage = 5;    // image for another model or damaged
inline constexpr int kEventTalkStarted = 6;          // talk accepted by the device
inline constexpr int kEventTalkData = 7;             // talk running
inline constexpr int kEventTalkStopped = 8;          // talk ended by the device
inline constexpr int kEventFileUploadDone = 14;      // application file stored
inline constexpr int kEventFileUploadFailed = 15;    // application file refused
inline constexpr int kEventDeviceLinkLost = 16;      // the device reports its link lost
inline constexpr int kEventDeviceLinkBack = 17;      // the device reports its link back
inline constexpr int kEventAlarm = 23;               // alarm record (snapshots ride on it)
inline constexpr int kEventVideoHeader = 24;         // 536-byte record
inline constexpr int kEventAudioHeader = 25;         // 276-byte record
inline constexpr int kEventFileDownloaded = 30;      // 1360-byte record
inline constexpr int kEventAccountRefused = 32;      // the device refused the account
inline constexpr int kEventUpgradeInterrupted = 34;  // the transfer broke off
inline constexpr int kEventTalkBusy = 35;            // another client talks to the device
inline constexpr int kEventTalkParamError = 36;      // talk format refused
inline constexpr int kEventTalkNotSupported = 37;    // the device has no talk
inline constexpr int kEventUpgradeSending = 54;      // percent of the image sent
inline constexpr int kEventUpgradeWriting = 55;      // percent of the image written
inline constexpr int kEventDisconnected = 60;        // the connection was lost
inline constexpr int kEventReconnectFailed = 61;     // one reconnection attempt failed

// Payload sizes of the events that carry a binary record instead of text.
inline constexpr int kAlarmRecordSize = 168;
inline constexpr int kVideoHeaderRecordSize = 536;
inline constexpr int kAudioHeaderRecordSize = 276;
inline constexpr int kFileRecordSize = 1360;
// Inside an alarm record: the alarm kind (23 = snapshot taken) and the device file's path.
inline constexpr int kAlarmKindOffset = 28;
inline constexpr int kAlarmKindSnapshot = 23;
inline constexpr int kAlarmPathOffset = 40;

// System-control commands (answered, where they answer, as auxiliary responses).
inline constexpr int kCmdRestoreConfig = 1002;
inline constexpr int kCmdTimeSync = 1005;
inline constexpr int kCmdFirmwareVersion = 1012;
inline constexpr int kCmdDeviceInformation = 1020;
inline constexpr int kCmdFileSearch = 1021;  // a page of the device's stored files
inline constexpr int kCmdFileSearchMore = 1022;
inline constexpr int kCmdFileDelete = 1024;
inline constexpr int kCmdOutputPort = 1042;
inline constexpr int kCmdSnapshot = 1043;
inline constexpr int kCmdImageParameters = 1081;

// Configuration documents (SetDVRConfig / GetDVRConfig).
inline constexpr int kCfgTime = 222;
inline constexpr int kCfgPassword = 223;
inline constexpr int kCfgDeviceLanguage = 227;
inline constexpr int kCfgMaintenance = 228;
inline constexpr int kCfgVideoCapture = 504;
inline constexpr int kCfgAudioCapture = 507;
inline constexpr int kCfgVideoCaptureSet = 524;
inline constexpr int kCfgAudioCaptureSet = 527;
inline constexpr int kCfgEncoding = 523;
inline constexpr int kCfgTitleOverlay = 525;
inline constexpr int kCfgPlatform = 670;
inline constexpr int kCfgMotionDetection = 822;

// Pan/tilt/zoom commands (QM_NETSDK_IPC_PTZControl).
inline constexpr int kPtzZoomIn = 11;
inline constexpr int kPtzZoomOut = 12;
inline constexpr int kPtzUp = 17;
inline constexpr int kPtzDown = 18;
inline constexpr int kPtzLeft = 19;
inline constexpr int kPtzRight = 20;
inline constexpr int kPtzLeftUp = 21;
inline constexpr int kPtzRightUp = 22;
inline constexpr int kPtzLeftDown = 23;
inline constexpr int kPtzRightDown = 24;
inline constexpr int kPtzStop = 26;

// Discovery message codes and the port devices listen on.
inline constexpr int kDiscoverySearch = 1;
inline constexpr int kDiscoverySetParameters = 2;
inline constexpr int kDiscoveryAnswer = 3;
inline constexpr int kDiscoveryRestore = 5;
inline constexpr int kDiscoveryReboot = 7;
inline constexpr uint16_t kDiscoveryPort = 3001;

// The terminal service on every device.
inline constexpr uint16_t kTerminalServicePort = 2220;

}  // namespace vdz::proto
