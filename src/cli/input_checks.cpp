#include "cli/input_checks.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "audio/audio_decode_mp3.h"

namespace vdz::cli {

namespace fs = std::filesystem;

std::optional<std::string> FolderNotWritable(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec))
    return "cannot write into " + folder + ": not a folder";
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return "cannot write into " + folder + ": permission denied";
  return std::nullopt;
}

std::optional<std::string> FileNotWritable(const std::string& path) {
  std::error_code ec;
  const fs::path file(path);
  if (fs::exists(file, ec)) {
    if (!fs::is_regular_file(file, ec))
      return "cannot write " + path + ": not a regular file";
    if (::access(path.c_str(), W_OK) != 0)
      return "cannot write " + path + ": permission denied";
    return std::nullopt;
  }
  const fs::path parent = file.has_parent_path() ? file.parent_path() : fs::path(".");
  if (!fs::is_directory(parent, ec))
    return "cannot write " + path + ": no folder " + parent.string();
  if (::access(parent.c_str(), W_OK | X_OK) != 0)
    return "cannot write " + path + ": permission denied";
  return std::nullopt;
}

std::optional<std::string> NotAnImage(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec))
    return path + " is not a firmware image: not a regular file";
  if (fs::file_size(path, ec) == 0 || ec)
    return path + " is not a firmware image: it is empty";
  if (::access(path.c_str(), R_OK) != 0)
    return "cannot read " + path;
  return std::nullopt;
}

std::optional<std::string> NotAnImageFolder(const std::string& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    return folder + " is not a folder";
  if (::access(folder.c_str(), R_OK | X_OK) != 0)
    return "cannot read " + folder;
  return std::nullopt;
}

std::optional<std::string> NotPlayableMp3(const std::string& path) {
  switch (audio::CAudioDecodeMp3::Probe(path)) {
    case 0:
      return std::nullopt;
    case audio::kDecodeNoAudio:
      return path + " holds no MP3 audio";
    default:
      return "cannot read " + path;
  }
}

}  // namespace vdz::cli
