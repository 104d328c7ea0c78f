// What a command can check before it sends anything: the files it reads and the places it
// writes. Each gives the one-line reason it fails, or nothing when the input is usable.
#pragma once

#include <optional>
#include <string>

namespace vdz::cli {

// A folder results are written into; made when missing.
std::optional<std::string> FolderNotWritable(const std::string& folder);
// A file the command creates or replaces.
std::optional<std::string> FileNotWritable(const std::string& path);
// A firmware image: a readable regular file with something in it.
std::optional<std::string> NotAnImage(const std::string& path);
// A folder of firmware images: one the command can read.
std::optional<std::string> NotAnImageFolder(const std::string& folder);
// A file to broadcast: an MP3 file with at least one frame of audio.
std::optional<std::string> NotPlayableMp3(const std::string& path);

}  // namespace vdz::cli
