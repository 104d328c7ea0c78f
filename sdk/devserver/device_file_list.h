// The device's lists of stored MP3 and application files, served in pages to system command
// 1021, and the audio and image documents (507, 504) it starts with.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vdz::devserver {

inline constexpr const char* kMp3Folder = "/mnt/mtd/mp3/";
inline constexpr int kFileListPageSize = 10;

struct FileListQuery {
  bool mp3 = true;
  int page = 0;
};

// A REQUEST_PARAM with MediaType OEMMP3 or OEMAPP; nothing for any other text.
std::optional<FileListQuery> ParseFileListQuery(std::string_view text);
// RESPONSE_PARAM with one RECORD_FILE (FilePath, FileLength) per file of the page.
std::string FileListPage(const std::map<std::string, std::uint64_t>& files, int page);
// The FileName of a delete request (system command 1024).
std::string DeleteRequestName(std::string_view text);

std::string DefaultAudioCaptureDocument();
std::string DefaultVideoCaptureDocument();

}  // namespace vdz::devserver
