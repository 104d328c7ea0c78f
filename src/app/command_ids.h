// Control and command numbers of the main window. Field engineers and the language files know
// the controls by these numbers, so they stay as the device tool has always had them.
#pragma once

namespace vdz::cmd {

// Controls that are not commands.
inline constexpr int kDeviceList = 1000;
inline constexpr int kStatusLine = 1001;
inline constexpr int kQrPanel = 1004;
inline constexpr int kAdapterList = 1016;
inline constexpr int kAdapterLabel = 1018;
inline constexpr int kFirmwareFileField = 1048;
inline constexpr int kConfigFileField = 1049;
inline constexpr int kFirmwareFolderField = 1050;

// Buttons and check boxes.
inline constexpr int kClose = 1;
inline constexpr int kSearch = 3;
inline constexpr int kRestoreChecked = 4;
inline constexpr int kConfigDownload = 6;
inline constexpr int kRebootChecked = 7;
inline constexpr int kBatchTitle = 10;
inline constexpr int kBatchPlatform = 11;
inline constexpr int kConfigRestore = 12;
inline constexpr int kBatchMotion = 13;
inline constexpr int kBatchPassword = 14;
inline constexpr int kBatchLanguage = 15;
inline constexpr int kBatchTerminal = 16;
inline constexpr int kBatchImage = 18;
inline constexpr int kBatchSnapshot = 19;
inline constexpr int kSelectAll = 1003;
inline constexpr int kPreviewSound = 1005;
inline constexpr int kSwitchStream = 1006;
inline constexpr int kBatchCcd = 1028;
inline constexpr int kBatchIoOutput = 1029;
inline constexpr int kBatchIp = 1030;
inline constexpr int kBatchMaintenance = 1031;
inline constexpr int kBatchVideo = 1034;
inline constexpr int kBatchTime = 1035;
inline constexpr int kBrowseFirmwareFile = 1189;
inline constexpr int kBrowseConfigFile = 1190;
inline constexpr int kBrowseFirmwareFolder = 1191;
inline constexpr int kUpgradeFromFile = 1291;
inline constexpr int kUploadConfig = 1292;
inline constexpr int kUpgradeFromFolder = 1293;
inline constexpr int kTalkConsole = 1296;
inline constexpr int kPrintLabel = 1297;
inline constexpr int kRestartTerminalService = 1298;
inline constexpr int kDanaleImport = 1299;

// Device-list context menu (menu 130).
inline constexpr int kMenuOpenWeb = 32777;
inline constexpr int kMenuRemoteZhCn = 32917;
inline constexpr int kMenuRemoteZhTw = 32918;
inline constexpr int kMenuRemoteEnglish = 32920;
inline constexpr int kMenuRemoteKorean = 32921;
inline constexpr int kMenuRemotePolish = 32922;
inline constexpr int kMenuStopPreview = 32781;
inline constexpr int kMenuStartPreview = 32782;
inline constexpr int kMenuPreviewSound = 32786;
inline constexpr int kMenuReboot = 32778;
inline constexpr int kMenuChangeAddress = 32772;
inline constexpr int kMenuFreeAddress = 32775;
inline constexpr int kMenuRestore = 32774;
inline constexpr int kMenuSnapshot = 32790;
inline constexpr int kMenuOpenSnapshotFolder = 32799;

// Pop-up menu 137 of button 1030.
inline constexpr int kMenuAssignFree = 32901;
inline constexpr int kMenuAssignConsecutive = 32902;

// Pop-up menus of the batch settings buttons 15, 1028, 1029, 1034 and 1035.
inline constexpr int kMenuLanguageEnglish = 32794;
inline constexpr int kMenuLanguageSimplified = 32795;
inline constexpr int kMenuLanguageTraditional = 32797;
inline constexpr int kMenuScanBadPixels = 23;
inline constexpr int kMenuSaveBadPixels = 24;
inline constexpr int kMenuOutputLow = 32802;
inline constexpr int kMenuOutputHigh = 32803;
inline constexpr int kMenuEncodeH264 = 32907;
inline constexpr int kMenuEncodeH265 = 32908;
inline constexpr int kMenuEncodeDetails = 17;
inline constexpr int kMenuSyncTime = 8;
inline constexpr int kMenuConfigTime = 32911;

// The system menu has numbers of its own: its About entry is 16 there, as button 16 is in
// the window, so the two live apart in the one command table.
inline constexpr int kSystemMenuBase = 0x10000;
inline constexpr int kSysAbout = kSystemMenuBase + 16;

// Clicks on the device list, dispatched through the command table like the commands.
inline constexpr int kListNotifyBase = 0x20000;
inline constexpr int kListRowClick = kListNotifyBase + 1;
inline constexpr int kListRowDoubleClick = kListNotifyBase + 2;

// Commands of our own, beyond the device tool's numbers, in a range of their own so that they
// can never take one of those.
inline constexpr int kOwnCommandBase = 0x30000;
inline constexpr int kExportList = kOwnCommandBase + 1;
inline constexpr int kSaveBatchReport = kOwnCommandBase + 2;
// Cancels the device jobs that run.
inline constexpr int kCancelJobs = kOwnCommandBase + 3;
// The address ranges every search also asks one by one (devices behind a router).
inline constexpr int kEditSearchRanges = kOwnCommandBase + 4;
// Asks one address for a device, which then joins the list.
inline constexpr int kAddByAddress = kOwnCommandBase + 5;
// The accounts tried on other makers' ONVIF devices.
inline constexpr int kEditOnvifAccounts = kOwnCommandBase + 6;

// Timers.
inline constexpr int kTimerRefresh = 1000;
inline constexpr int kTimerRequest = 1001;
inline constexpr int kTimerUpgrade = 1002;
inline constexpr int kTimerSnapshot = 1003;

}  // namespace vdz::cmd
