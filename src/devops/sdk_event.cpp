#include "devops/sdk_event.h"

#include <tinyxml2.h>

#include <cstring>
#include <new>

#include "protocol/protocol_numbers.h"
#include "shell/bounded_text.h"

namespace vdz {

namespace {

std::unique_ptr<SdkEventRecord> NewRecord(int handle, int code, void* owner) {
  std::unique_ptr<SdkEventRecord> record(new (std::nothrow) SdkEventRecord);
  if (!record)
    return nullptr;
  std::memset(record.get(), 0, sizeof *record);
  record->handle = handle;
  record->code = code;
  record->owner = owner;
  return record;
}

void CopyText(SdkEventRecord* record, const char* text) {
  if (text == nullptr)
    return;
  const void* nul = std::memchr(text, 0, kSdkEventPayloadBytes);
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : kSdkEventPayloadBytes;
  CopyBounded(record->payload, std::string_view(text, length));
}

}  // namespace

int FixedEventDataSize(int event_type) {
  switch (event_type) {
    case proto::kEventAlarm:
      return proto::kAlarmRecordSize;
    case proto::kEventVideoHeader:
      return proto::kVideoHeaderRecordSize;
    case proto::kEventAudioHeader:
      return proto::kAudioHeaderRecordSize;
    case proto::kEventFileDownloaded:
      return proto::kFileRecordSize;
    default:
      return 0;
  }
}

std::unique_ptr<SdkEventRecord> MakeStatusEventRecord(int handle, int event_type, const char* data,
                                                      void* owner) {
  auto record = NewRecord(handle, event_type, owner);
  if (!record)
    return nullptr;
  const int fixed = FixedEventDataSize(event_type);
  if (fixed > 0) {
    // The library hands at least this many bytes for these events.
    if (data != nullptr)
      std::memcpy(record->payload, data, static_cast<std::size_t>(fixed));
  } else {
    CopyText(record.get(), data);
  }
  return record;
}

std::unique_ptr<SdkEventRecord> MakeAuxEventRecord(int handle, int command, const char* text,
                                                   void* owner) {
  auto record = NewRecord(handle, command, owner);
  if (!record)
    return nullptr;
  if (command == proto::kCmdFirmwareVersion) {
    CopyBounded(record->payload, ExtractFileSystemVersion(text));
  } else {
    CopyText(record.get(), text);
  }
  return record;
}

std::string ExtractFileSystemVersion(const char* text) {
  if (text == nullptr)
    return {};
  tinyxml2::XMLDocument document;
  if (document.Parse(text) != tinyxml2::XML_SUCCESS)
    return {};
  const tinyxml2::XMLElement* root = document.RootElement();
  if (root == nullptr || std::strcmp(root->Name(), "RESPONSE_PARAM") != 0)
    return {};
  const char* version = root->Attribute("FileSystemVersion");
  if (version == nullptr)
    return {};
  return std::string(version).substr(0, 127);
}

}  // namespace vdz
