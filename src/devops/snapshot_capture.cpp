#include "devops/snapshot_capture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>

#include "devops/batch_runner.h"
#include "protocol/protocol_numbers.h"
#include "shell/app_paths.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"
#include "shell/fd_write.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

namespace {

bool MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  return false;
}

bool DottedIpv4(const std::string& ip) {
  int parts = 0;
  std::size_t at = 0;
  while (at <= ip.size()) {
    std::size_t end = ip.find('.', at);
    if (end == std::string::npos)
      end = ip.size();
    const std::string part = ip.substr(at, end - at);
    if (part.empty() || part.size() > 3 ||
        part.find_first_not_of("0123456789") != std::string::npos || std::stoi(part) > 255)
      return false;
    ++parts;
    at = end + 1;
  }
  return parts == 4;
}

// Moves from to to unless to exists (errno EEXIST then). Hard links stand in where the file
// system knows no such rename.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS)
    return false;
  if (link(from.c_str(), to.c_str()) != 0)
    return false;
  unlink(from.c_str());
  return true;
}

struct SavedPaths {
  std::mutex mutex;
  std::map<std::string, std::string> by_ip;
};

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::string DefaultSnapshotFolder() {
  return JoinPath(DocumentsFolder(), "snap");
}

std::string SnapshotDeviceFolder(const std::string& snapshot_folder, const std::string& ip) {
  if (!DottedIpv4(ip))
    return {};
  return JoinPath(snapshot_folder, ip);
}

std::string SaveSnapshotPicture(const std::string& snapshot_folder, const std::string& ip,
                                std::string_view jpeg, int64_t when, std::string* error) {
  const std::string device_folder = SnapshotDeviceFolder(snapshot_folder, ip);
  if (device_folder.empty() || !MakeFolder(snapshot_folder) || !MakeFolder(device_folder)) {
    *error = "folder unusable: " + (device_folder.empty() ? snapshot_folder : device_folder);
    return {};
  }
  std::string temp = JoinPath(device_folder, ".snapshot-XXXXXX");
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    *error = std::string("cannot write in ") + device_folder + ": " + std::strerror(errno);
    return {};
  }
  fchmod(fd, 0644);
  const bool written = WriteAllBytes(fd, jpeg);
  if (close(fd) != 0 || !written) {
    *error = std::string("cannot write ") + temp + ": " + std::strerror(errno);
    unlink(temp.c_str());
    return {};
  }
  const time_t seconds = static_cast<time_t>(when);
  tm local{};
  localtime_r(&seconds, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
  for (int n = 0; n < 1000; ++n) {
    const std::string name =
        std::string(stamp) + (n == 0 ? std::string() : "-" + std::to_string(n)) + ".jpg";
    const std::string path = JoinPath(device_folder, name);
    if (RenameNoReplace(temp, path))
      return path;
    if (errno != EEXIST)
      break;
  }
  *error = std::string("cannot name the picture in ") + device_folder + ": " + std::strerror(errno);
  unlink(temp.c_str());
  return {};
}

std::string SnapshotLocalName(std::string_view device_path) {
  const std::size_t slash = device_path.find_last_of("/\\");
  const std::string_view leaf =
      slash == std::string_view::npos ? device_path : device_path.substr(slash + 1);
  if (leaf.empty() || leaf == "." || leaf == "..")
    return {};
  for (unsigned char c : leaf) {
    if (c < 0x20 || c == 0x7f)
      return {};
  }
  return std::string(leaf);
}

SnapshotCapture::SnapshotCapture(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                                 Prompter& prompter, std::string folder, Clock clock)
    : jobs_(jobs),
      sdk_(sdk),
      list_(list),
      prompter_(prompter),
      folder_(std::move(folder)),
      clock_(clock ? std::move(clock) : Clock(Now)) {}

void SnapshotCapture::RequestRow(int position, BatchDone done) {
  if (list_.RowAt(position) != nullptr)
    Request("snapshot row", {position}, std::move(done));
}

void SnapshotCapture::RequestChecked(BatchDone done) {
  if (CountCheckedRows(list_, prompter_) < 1)
    return;
  std::vector<int> checked;
  for (int position = 0; position < list_.RowCount(); ++position) {
    if (list_.IsChecked(position) && list_.RowAt(position) != nullptr)
      checked.push_back(position);
  }
  Request("snapshot", checked, std::move(done));
}

void SnapshotCapture::Request(const char* kind, const std::vector<int>& positions, BatchDone done) {
  if (!jobs_.Admit(kind))
    return;
  // A row still waiting for its last picture is left alone.
  std::vector<int> asked;
  for (const int position : positions) {
    if (!list_.RowAt(position)->snapshot_pending) {
      asked.push_back(position);
      continue;
    }
    prompter_.ShowInfo(LookupText(keys::SNAPPING_WAIT));
    list_.NoteBatchDevice(position, BatchDeviceOutcome::kSkipped);
  }
  BatchOperation op;
  op.no_login_key = keys::MSGTIP23;
  op.failure_key = keys::SNAPPIC_REQFAIL;
  // The batch's part ends with the request; the picture arrives later, in the status cell.
  op.success_key = keys::SNAPPIC;
  op.call = [&sdk = sdk_](int, const DeviceRow& row) {
    const int rc =
        sdk.SystemControl(row.login_handle, proto::kCmdSnapshot, 0, kSnapshotRequestPayload);
    DiagLog("snapshot request %s: ret=%d\n",
            std::string(FieldText(row.record.Lan.IPAddress)).c_str(), rc);
    return rc;
  };
  // Another maker's camera hands its picture over HTTP within the job: the path saved on the
  // pool thread is picked up when the device's step ends.
  auto saved = std::make_shared<SavedPaths>();
  if (onvif_) {
    op.foreign_call = [actions = *onvif_, folder = folder_, saved](int, const DeviceRow& row) {
      std::string path;
      const int rc = actions.Snapshot(row, folder, &path);
      std::lock_guard lock(saved->mutex);
      saved->by_ip[std::string(FieldText(row.record.Lan.IPAddress))] = path;
      return rc;
    };
  }
  op.after = [this, saved](int position, DeviceRow& row, int rc) {
    ++requested_;
    if (row.protocol != kProtocolOurs) {
      if (rc != 0)
        return;
      const std::string ip(FieldText(row.record.Lan.IPAddress));
      std::lock_guard lock(saved->mutex);
      saved_[ip] = saved->by_ip[ip];
      list_.SetStatusText(position, LookupText(keys::SNAPPIC_SAVED));
      return;
    }
    if (rc != 0)
      return;
    row.snapshot_pending = 1;
    row.snapshot_request_time = clock_();
  };
  StartBatchOnRows(jobs_, list_, kind, asked, std::move(op), std::move(done));
}

bool SnapshotCapture::EnsureFolder() const {
  return MakeFolder(folder_);
}

void SnapshotCapture::OnSnapshotEvent(int position, DeviceRow& row, const SdkEventRecord& event) {
  if (!row.snapshot_pending)
    return;
  row.snapshot_pending = 0;
  row.snapshot_request_time = 0;
  if (!row.online)
    return;
  if (row.login_handle <= 0) {
    list_.SetStatusText(position, LookupText(keys::MSGTIP21));
    return;
  }
  // The path is device data: bounded to the payload and checked before it names a file here.
  const char* path_start = event.payload + proto::kAlarmPathOffset;
  const std::size_t room = sizeof event.payload - proto::kAlarmPathOffset;
  const std::string device_path(path_start, strnlen(path_start, room));
  const std::string ip(FieldText(row.record.Lan.IPAddress));
  const std::string device_folder = SnapshotDeviceFolder(folder_, ip);
  if (device_folder.empty() || SnapshotLocalName(device_path).empty() || !EnsureFolder() ||
      !MakeFolder(device_folder)) {
    DiagLog("snapshot download %s: refused (folder or name unusable)\n", ip.c_str());
    list_.SetStatusText(position, LookupText(keys::FILEDOWN_REQFAIL));
    return;
  }
  const int rc =
      sdk_.GetFileByName(row.login_handle, 1, device_path.c_str(), device_folder.c_str());
  DiagLog("snapshot download %s: ret=%d\n", ip.c_str(), rc);
  list_.SetStatusText(position,
                      LookupText(rc != 0 ? keys::FILEDOWN_REQFAIL : keys::FILEDOWNLOADDING));
}

void SnapshotCapture::OnWatchTick() {
  const int64_t now = clock_();
  for (int position = 0; position < list_.RowCount(); ++position) {
    DeviceRow* row = list_.RowAt(position);
    if (row == nullptr || !row->snapshot_pending)
      continue;
    if (now - row->snapshot_request_time > kSnapshotTimeoutSeconds) {
      row->snapshot_pending = 0;
      row->snapshot_request_time = 0;
      list_.SetStatusText(position, LookupText(keys::SNAPPING_TIMEOUT));
    }
  }
}

}  // namespace vdz
