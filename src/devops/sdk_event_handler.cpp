#include "devops/sdk_event_handler.h"

#include <cstdio>
#include <cstring>

#include "devops/batch_runner.h"
#include "protocol/protocol_numbers.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/text_codec.h"

namespace vdz {

namespace {

// Status events that only write a text (null: an empty one), may end an upgrade and may
// concern the talk console.
struct StatusEventRule {
  int code;
  const char* key;
  bool ends_upgrade;
  bool to_console;
};

constexpr StatusEventRule kStatusRules[] = {
    {proto::kEventUpgradeDone, keys::MSGTIP10, true, false},
    {proto::kEventUpgradeFailed, keys::MSGTIP4, true, false},
    {proto::kEventUpgradeWrongImage, keys::MSGTIP3, true, false},
    {proto::kEventTalkStarted, keys::STRING_STARTTALK_OK, false, true},
    {proto::kEventTalkData, nullptr, false, true},
    {proto::kEventTalkStopped, keys::STRING_STOPTALK_OK, false, true},
    {proto::kEventFileUploadDone, keys::MSGTIP6, true, true},
    {proto::kEventFileUploadFailed, keys::MSGTIP7, true, false},
    {proto::kEventDeviceLinkLost, keys::MSGTIP9, false, false},
    {proto::kEventDeviceLinkBack, keys::MSGTIP8, false, false},
    {proto::kEventAccountRefused, keys::MSGTIP5, false, false},
    {proto::kEventUpgradeInterrupted, keys::MSGTIP2, true, false},
    {proto::kEventTalkBusy, keys::STRING_STARTTALK_DEVBUSY, false, true},
    {proto::kEventTalkParamError, keys::STRING_STARTTALK_PARAMERROR, false, true},
    {proto::kEventTalkNotSupported, keys::STRING_STARTTALK_NOTSUPPORT, false, true},
};

const StatusEventRule* FindStatusRule(int code) {
  for (const StatusEventRule& rule : kStatusRules) {
    if (rule.code == code)
      return &rule;
  }
  return nullptr;
}

int32_t PayloadInt(const SdkEventRecord& event, std::size_t offset) {
  int32_t value = 0;
  std::memcpy(&value, event.payload + offset, sizeof value);
  return value;
}

// Alarm events carry a fixed record: time of day at bytes 16, 20, 24, the alarm type at 28
// and a text from byte 40.
std::string AlarmStatusText(const SdkEventRecord& event) {
  constexpr std::size_t kTextOffset = proto::kAlarmPathOffset;
  constexpr std::size_t kRecordSize = proto::kAlarmRecordSize;
  const char* text = event.payload + kTextOffset;
  const void* nul = std::memchr(text, 0, kRecordSize - kTextOffset);
  const std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text)
                                 : kRecordSize - kTextOffset;
  char line[512];
  std::snprintf(line, sizeof line, "%02d:%02d:%02d %s:%.*s", PayloadInt(event, 16),
                PayloadInt(event, 20), PayloadInt(event, 24), LookupText(keys::IDS_ALARM).c_str(),
                static_cast<int>(length), text);
  return line;
}

}  // namespace

SdkEventHandler::SdkEventHandler(DeviceSdk& sdk, DeviceListPort& list, SdkEventHooks hooks)
    : sdk_(sdk), list_(list), hooks_(std::move(hooks)) {}

void SdkEventHandler::RequestSystemControl(int handle, int command, std::function<void(int)> done) {
  if (hooks_.system_control) {
    hooks_.system_control(handle, command, std::move(done));
    return;
  }
  const int result = sdk_.SystemControl(handle, command, 0, "RESPONSE_PARAM");
  if (done)
    done(result);
}

void SdkEventHandler::HandleStatusEvent(const SdkEventRecord& event) {
  const int position = FindRowByHandle(list_, event.handle);
  if (position < 0)
    return;
  DeviceRow& row = *list_.RowAt(position);
  auto status = [&](const char* key) { list_.SetStatusText(position, LookupText(key)); };

  if (event.code == proto::kEventSessionUp) {
    status(keys::MSGTIP1);
    row.online = 1;
    RequestVersionThenInformation(event.handle);
    return;
  }
  if (event.code == proto::kEventAlarm) {
    list_.SetStatusText(position, AlarmStatusText(event));
    if (PayloadInt(event, proto::kAlarmKindOffset) == proto::kAlarmKindSnapshot &&
        row.snapshot_pending && hooks_.snapshot_alarm) {
      hooks_.snapshot_alarm(position, row, event);
    }
    return;
  }
  if (event.code == proto::kEventUpgradeSending || event.code == proto::kEventUpgradeWriting) {
    if (hooks_.upgrade_progress)
      hooks_.upgrade_progress(position, row, event);
    return;
  }
  const StatusEventRule* rule = FindStatusRule(event.code);
  if (rule == nullptr)
    return;
  list_.SetStatusText(position, rule->key != nullptr ? LookupText(rule->key) : std::string());
  if (rule->ends_upgrade && row.upgrading) {
    row.upgrading = 0;
    if (hooks_.upgrade_ended)
      hooks_.upgrade_ended(position, row, event.code == proto::kEventUpgradeDone);
  }
  if (rule->to_console && hooks_.talk_console)
    hooks_.talk_console(event);
}

// The version first, then the device information, for one device in that order: the
// information request goes out once the version request has returned, whatever its result.
void SdkEventHandler::RequestVersionThenInformation(int handle) {
  RequestSystemControl(handle, proto::kCmdFirmwareVersion, [this, handle](int result) {
    if (result != 0) {
      const int at = FindRowByHandle(list_, handle);
      if (at >= 0) {
        DeviceRow& answered = *list_.RowAt(at);
        CopyBounded(answered.firmware_version, LookupText(keys::MSGTIP34));
        list_.SetVersionText(at, std::string(FieldText(answered.firmware_version)));
      }
    }
    RequestSystemControl(handle, proto::kCmdDeviceInformation, nullptr);
  });
}

void SdkEventHandler::HandleAuxResponse(const SdkEventRecord& event) {
  switch (event.code) {
    case proto::kCmdFirmwareVersion: {
      const int position = FindRowByHandle(list_, event.handle);
      if (position < 0)
        return;
      DeviceRow& row = *list_.RowAt(position);
      // A device that answered without a readable version is shown like one that did not
      // answer at all.
      const std::string_view version = FieldText(event.payload);
      const std::string failed = version.empty() ? LookupText(keys::MSGTIP34) : std::string();
      CopyBounded(row.firmware_version, version.empty() ? std::string_view(failed) : version);
      // The version is the device's narrow text; the list takes UTF-8.
      list_.SetVersionText(position, version.empty() ? std::string(FieldText(row.firmware_version))
                                                     : AnsiToUtf8(FieldText(row.firmware_version)));
      if (!version.empty() && hooks_.version_known)
        hooks_.version_known(position, row);
      break;
    }
    case proto::kCmdDeviceInformation: {
      const int position = FindRowByHandle(list_, event.handle);
      if (position < 0)
        return;
      CopyBounded(list_.RowAt(position)->device_information, FieldText(event.payload));
      break;
    }
    case proto::kCfgVideoCapture:
    case proto::kCfgAudioCapture:
    case proto::kCmdFileSearch:
    case proto::kCmdFileSearchMore:
      if (hooks_.talk_console)
        hooks_.talk_console(event);
      break;
    default:
      break;
  }
}

}  // namespace vdz
