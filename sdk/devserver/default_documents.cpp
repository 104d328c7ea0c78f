#include "default_documents.h"

#include "protocol/protocol_numbers.h"

namespace vdz::devserver {

std::map<int, std::string> FactorySettingsDocuments() {
  return {
      {proto::kCfgTime,
       "<TimeConfig TimeMode=\"NTP\" TimeZone=\"1200\">\n\t<NTPConfig ServerIP=\"pool.ntp.org\" "
       "ServerPort=\"123\" RefreshInterval=\"3600\" />\n</TimeConfig>\n"},
      {proto::kCfgTitleOverlay,
       "<Overlay\tEnable=\"1\" Transparency=\"3\" Style=\"3\" Fontsize=\"0\" Week=\"1\" > "
       "\t<TimeOverlay PosX=\"0\" PosY=\"0\"\tFormat=\"yyyy-mm-dd hh:mm:ss\" /> "
       "\t<TitleOverlay PosX=\"0\" PosY=\"1\"\tTitle=\"495043414d455241\" "
       "TitleUtf8=\"495043414d455241\"/> </Overlay>"},
      {proto::kCfgEncoding,
       "<Encode>\n\t<EncodeConfig Stream=\"1\" Resolution=\"1080P\" EncodeFormat=\"H264\" "
       "BitRateControl=\"CBR\" Initquant=\"50\" BitRate=\"4000\" FrameRate=\"25\"/>\n"
       "\t<EncodeConfig Stream=\"2\" Resolution=\"640X360\" EncodeFormat=\"H264\" "
       "BitRateControl=\"CBR\" Initquant=\"50\" BitRate=\"350\" FrameRate=\"25\"/>\n"
       "\t<AdvanceEncodeConfig EncodeProfile=\"0\" WDRMode=\"0\" DfrogFlag=\"0\" "
       "WDRStartTime=\"00:00:00\" WDREndTime=\"00:00:00\" DisablePrivateData=\"0\" EncMode=\"0\" "
       "NoiceLevel=\"0\" shutter_mode=\"0\" shutter_speed=\"25\"/>\n</Encode>\n"},
      {proto::kCfgMotionDetection,
       "<MotionDetectAlarm \t\t\tEnable=\"0\" \t\t\tBlockCount=\"262147\" "
       "\t\t\tBlockConfig=\"111111111111\" \t\t\tSensitivity=\"80\" \t\t\tAlarmThreshold=\"20\" "
       "\t\t\tDayNightSwitch=\"0\" \t\t\tNightSensitivity=\"60\" \t\t\tNightAlarmThreshold=\"30\" "
       "\t\t\tNightStartTime=\"18: 0: 0\" \t\t\tNightEndTime=\" 6: 0: 0\" \t\t\t> "
       "\t\t\t<EnableTimeList> \t\t\t\t<Workday \t\t\t\t\tDay=\"7\" \t\t\t\t\t> "
       "\t\t\t\t\t<TimeSpan \t\t\t\t\t\tStartTime=\" 0: 0: 0\" \t\t\t\t\t\tEndTime=\"24: 0: 0\" "
       "\t\t\t\t\t/> \t\t\t\t</Workday> \t\t\t</EnableTimeList> \t\t\t<AlarmAction> "
       "\t\t\t\t<AlarmOutputAction \t\t\t\t\tEnable=\"1\" \t\t\t\t\tPortIndex=\"1\" "
       "\t\t\t\t\tChannelType=\"1\" \t\t\t\t\tTriggerType=\"HIGH\" \t\t\t\t\tDuration=\"10\" "
       "\t\t\t\t/> \t\t\t</AlarmAction> \t\t</MotionDetectAlarm> "},
      {proto::kCfgMaintenance, "<MaintainConfig\tEnable=\"0\" Day=\"7\" Time=\"03:00:00\" />"},
      // The firmware never sends a password back; an empty one written to it keeps the old.
      {proto::kCfgPassword,
       "<UserConfig><Account Username=\"admin\" Password=\"\" Group=\"Administrator\" "
       "Status=\"Enable\" /></UserConfig>"},
      {proto::kCfgPlatform,
       "<PlatformConfig>\t <VortanConfig Enable=\"0\" Server=\"\" Port=\"10001\" Username=\"\" "
       "Password=\"\" PlayTone=\"0\"/> </PlatformConfig>\r\n"},
  };
}

}  // namespace vdz::devserver
