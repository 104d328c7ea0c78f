// One SDK callback as it travels from a library thread to the window's thread: the callback
// copies into a fresh record and posts it; the window handles and releases it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

namespace vdz {

inline constexpr int kSdkEventPayloadBytes = 10240;

struct SdkEventRecord {
  int32_t handle;
  int32_t code;  // status event type, or the command of an auxiliary response
  char payload[kSdkEventPayloadBytes];
  void* owner;
};
static_assert(std::is_trivially_copyable_v<SdkEventRecord>);

// Events whose data is a fixed-size record rather than text.
int FixedEventDataSize(int event_type);

// Null when memory runs out (the callback then returns -1).
std::unique_ptr<SdkEventRecord> MakeStatusEventRecord(int handle, int event_type, const char* data,
                                                      void* owner);
// For command 1012 the payload is the FileSystemVersion taken from the answer, else the text.
std::unique_ptr<SdkEventRecord> MakeAuxEventRecord(int handle, int command, const char* text,
                                                   void* owner);

// The FileSystemVersion attribute of a RESPONSE_PARAM document, at most 127 characters; empty
// when the text is not such a document or lacks the attribute.
std::string ExtractFileSystemVersion(const char* text);

}  // namespace vdz
