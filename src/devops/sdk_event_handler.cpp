#include "devops/sdk_event_handler.h"

#include <cstdio>
#include <cstring>

#include "devops/batch_runner.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/text_codec.h"

namespace vdz {

namespace {

constexpr int kCommandFirmwareVersion = 1012;
constexpr int kCommandDeviceInformation = 1020;

int32_t PayloadInt(const SdkEventRecord& event, std::size_t offset) {
  int32_t value = 0;
  std::memcpy(&value, event.payload + offset, sizeof value);
  return value;
}

// Alarm events carry a fixed record: time of day at bytes 16, 20, 24, the alarm type at 28
// and a text from byte 40.
std::string AlarmStatusText(const SdkEventRecord& event) {
  constexpr std::size_t kTextOffset = 40;
  constexpr std::size_t kRecordSize = 168;
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
  auto to_console = [&] {
    if (hooks_.talk_console)
      hooks_.talk_console(event);
  };

  switch (event.code) {
    case 2:
      status(keys::MSGTIP10);
      row.upgrading = 0;
      break;
    case 3:
      status(keys::MSGTIP4);
      row.upgrading = 0;
      break;
    case 4: {
      status(keys::MSGTIP1);
      row.online = 1;
      const int handle = event.handle;
      RequestSystemControl(handle, kCommandFirmwareVersion, [this, handle](int result) {
        if (result == 0)
          return;
        const int at = FindRowByHandle(list_, handle);
        if (at < 0)
          return;
        DeviceRow& answered = *list_.RowAt(at);
        CopyBounded(answered.firmware_version, LookupText(keys::MSGTIP34));
        list_.SetVersionText(at, std::string(FieldText(answered.firmware_version)));
      });
      RequestSystemControl(handle, kCommandDeviceInformation, nullptr);
      break;
    }
    case 5:
      status(keys::MSGTIP3);
      row.upgrading = 0;
      break;
    case 6:
      status(keys::STRING_STARTTALK_OK);
      to_console();
      break;
    case 7:
      list_.SetStatusText(position, std::string());
      to_console();
      break;
    case 8:
      status(keys::STRING_STOPTALK_OK);
      to_console();
      break;
    case 14:
      status(keys::MSGTIP6);
      row.upgrading = 0;
      to_console();
      break;
    case 15:
      status(keys::MSGTIP7);
      row.upgrading = 0;
      break;
    case 16:
      status(keys::MSGTIP9);
      break;
    case 17:
      status(keys::MSGTIP8);
      break;
    case 23:
      list_.SetStatusText(position, AlarmStatusText(event));
      if (PayloadInt(event, 28) == 23 && row.snapshot_pending && hooks_.snapshot_alarm) {
        hooks_.snapshot_alarm(position, row);
      }
      break;
    case 32:
      status(keys::MSGTIP5);
      break;
    case 34:
      status(keys::MSGTIP2);
      row.upgrading = 0;
      break;
    case 35:
      status(keys::STRING_STARTTALK_DEVBUSY);
      to_console();
      break;
    case 36:
      status(keys::STRING_STARTTALK_PARAMERROR);
      to_console();
      break;
    case 37:
      status(keys::STRING_STARTTALK_NOTSUPPORT);
      to_console();
      break;
    case 54:
    case 55:
      if (hooks_.upgrade_progress)
        hooks_.upgrade_progress(position, row, event);
      break;
    default:
      break;
  }
}

void SdkEventHandler::HandleAuxResponse(const SdkEventRecord& event) {
  switch (event.code) {
    case kCommandFirmwareVersion: {
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
    case kCommandDeviceInformation: {
      const int position = FindRowByHandle(list_, event.handle);
      if (position < 0)
        return;
      CopyBounded(list_.RowAt(position)->device_information, FieldText(event.payload));
      break;
    }
    case 504:
    case 507:
    case 1021:
    case 1022:
      if (hooks_.talk_console)
        hooks_.talk_console(event);
      break;
    default:
      break;
  }
}

}  // namespace vdz
