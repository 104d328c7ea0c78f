// The file entry points: open the local file on the caller's thread (so a bad path is
// refused at once), then hand the transfer to the I/O thread.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>
#include <string_view>

#include "qm_netsdk.h"
#include "sdk_core.h"

using vdz::netsdk::SdkCore;
using vdz::netsdk::TransferRequest;
using vdz::netsdk::UniqueFd;
using vdz::sdkproto::FileKind;

namespace {

// Sizes past which a transfer is refused: a configuration is a few documents, and a device
// announcing a larger download than it could hold is not believed.
constexpr std::uint64_t kMaxConfigFile = 4 * 1024 * 1024;
constexpr std::uint64_t kMaxConfigExport = 16 * 1024 * 1024;
constexpr std::uint64_t kMaxStoredFile = 256 * 1024 * 1024;

template <typename F>
int Guarded(F&& f) noexcept {
  try {
    return f();
  } catch (...) {
    return QM_NETSDK_ERR_RESOURCE;
  }
}

std::string_view LastElement(std::string_view path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

int Upload(int handle, const char* path, FileKind kind, std::uint64_t max_size, bool blocking) {
  if (path == nullptr || path[0] == '\0')
    return QM_NETSDK_ERR_INVALID_ARG;
  UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
    return QM_NETSDK_ERR_INVALID_ARG;
  if (max_size != 0 && static_cast<std::uint64_t>(st.st_size) > max_size)
    return QM_NETSDK_ERR_INVALID_ARG;
  TransferRequest request;
  request.kind = kind;
  request.fd = std::move(fd);
  request.size = static_cast<std::uint64_t>(st.st_size);
  request.name = std::string(LastElement(path));
  request.blocking = blocking;
  return SdkCore::Instance().Transfer(handle, std::move(request));
}

int Download(int handle, FileKind kind, std::string_view device_name, std::string final_path,
             std::uint64_t max_size, bool blocking) {
  TransferRequest request;
  request.kind = kind;
  request.name = std::string(device_name);
  request.final_path = std::move(final_path);
  // Written beside the target and renamed when complete: a broken transfer never leaves a
  // half file under the real name.
  request.part_path = request.final_path + ".part";
  request.fd =
      UniqueFd(::open(request.part_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (request.fd.get() < 0)
    return QM_NETSDK_ERR_INVALID_ARG;
  request.max_size = max_size;
  request.blocking = blocking;
  const std::string part = request.part_path;
  const int result = SdkCore::Instance().Transfer(handle, std::move(request));
  // Failed or never handed over: either way nobody writes the part file any more.
  if (result != QM_NETSDK_OK)
    ::unlink(part.c_str());
  return result;
}

}  // namespace

extern "C" {

int QM_NETSDK_IPC_Upgrade(int login_handle, const char* firmware_path) {
  return Guarded(
      [&] { return Upload(login_handle, firmware_path, FileKind::kFirmware, 0, false); });
}

int QM_NETSDK_IPC_GetUpgradeProgress(int login_handle) {
  return SdkCore::Instance().UpgradeProgress(login_handle);
}

int QM_NETSDK_IPC_GetConfigFile(int login_handle, const char* local_path) {
  if (local_path == nullptr || local_path[0] == '\0')
    return QM_NETSDK_ERR_INVALID_ARG;
  return Guarded([&] {
    return Download(login_handle, FileKind::kConfigExport, "config.xml", local_path,
                    kMaxConfigExport, true);
  });
}

int QM_NETSDK_IPC_SetConfigFile(int login_handle, const char* local_path) {
  return Guarded([&] {
    return Upload(login_handle, local_path, FileKind::kConfigImport, kMaxConfigFile, true);
  });
}

int QM_NETSDK_IPC_GetFileByName(int login_handle, int /*file_type*/, const char* device_file,
                                const char* local_folder) {
  if (device_file == nullptr || local_folder == nullptr || local_folder[0] == '\0')
    return QM_NETSDK_ERR_INVALID_ARG;
  // Only the last element of the device's name is used locally, so a name holding ".."
  // or separators cannot put the file outside the folder.
  const std::string_view leaf = LastElement(device_file);
  if (leaf.empty() || leaf == "." || leaf == "..")
    return QM_NETSDK_ERR_INVALID_ARG;
  return Guarded([&] {
    std::string target(local_folder);
    if (target.back() != '/')
      target += '/';
    target += leaf;
    return Download(login_handle, FileKind::kStoredFile, device_file, target, kMaxStoredFile,
                    false);
  });
}

int QM_NETSDK_IPC_UploadOEMAppFile(int login_handle, const char* local_path) {
  return Guarded([&] { return Upload(login_handle, local_path, FileKind::kAppFile, 0, false); });
}

int QM_NETSDK_IPC_UploadOEMMp3File(int login_handle, const char* local_path) {
  return Guarded([&] { return Upload(login_handle, local_path, FileKind::kMp3File, 0, false); });
}

}  // extern "C"
