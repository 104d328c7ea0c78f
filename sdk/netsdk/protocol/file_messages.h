// Chunked file transfer on a login connection: begin, data, acknowledgement and end frames,
// shared by the client and the device side (see docs/sdk-protocol.md, "File transfer").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vdz::sdkproto {

// What a transfer carries; uploads go to the device, downloads come from it.
enum class FileKind : std::uint16_t {
  kFirmware = 1,      // upload: firmware image, written by the device, then it restarts
  kConfigImport = 2,  // upload: configuration file, applied by the device
  kAppFile = 3,       // upload: application (OEM) file, stored by the device
  kConfigExport = 4,  // download: the device's configuration as one file
  kStoredFile = 5,    // download: a file the device stores (snapshots), by name
  kMp3File = 6,       // upload: an MP3 file the device keeps for playing
};

bool IsUploadKind(FileKind kind);
bool IsKnownFileKind(std::uint16_t kind);

inline constexpr std::size_t kFileChunkSize = 64 * 1024;
// Chunks a sender may have unacknowledged: bounds the memory and the queue per transfer.
inline constexpr std::uint64_t kFileWindowChunks = 4;

// Results a device gives in a RESPONSE to FILE_BEGIN or in its FILE_END.
inline constexpr std::int32_t kFileOk = 0;
inline constexpr std::int32_t kFileAborted = -1;        // the other side gave up
inline constexpr std::int32_t kFileNotFound = -2;       // no stored file of that name
inline constexpr std::int32_t kFileImageRefused = -20;  // image for another model or damaged
inline constexpr std::int32_t kFileBusy = -21;          // an upgrade runs already
inline constexpr std::int32_t kFileBadContent = -22;    // configuration file not accepted
inline constexpr std::int32_t kFileTooLarge = -23;      // more than the device takes
inline constexpr std::int32_t kFileBadKind = -24;

struct FileBegin {
  std::uint32_t id = 0;
  FileKind kind = FileKind::kFirmware;
  std::uint64_t size = 0;  // uploads: bytes that follow; downloads: 0
  std::string_view name;
};

struct FileData {
  std::uint32_t id = 0;
  std::uint64_t offset = 0;
  std::string_view data;
};

struct FileAck {
  std::uint32_t id = 0;
  std::uint64_t received = 0;  // bytes received in order so far
};

struct FileEnd {
  std::uint32_t id = 0;
  std::int32_t result = 0;
  std::string_view text;
};

void AppendFileBegin(std::string& out, std::uint32_t seq, const FileBegin& m);
// Header of a FILE_DATA frame of `length` data bytes; the caller appends the data itself,
// so a chunk read from a file goes straight into the output buffer.
void AppendFileDataHeader(std::string& out, std::uint32_t seq, std::uint32_t id,
                          std::uint64_t offset, std::size_t length);
void AppendFileAck(std::string& out, std::uint32_t seq, const FileAck& m);
void AppendFileEnd(std::string& out, std::uint32_t seq, const FileEnd& m);

bool ParseFileBegin(std::string_view payload, FileBegin& m);
bool ParseFileData(std::string_view payload, FileData& m);
bool ParseFileAck(std::string_view payload, FileAck& m);
bool ParseFileEnd(std::string_view payload, FileEnd& m);

}  // namespace vdz::sdkproto
