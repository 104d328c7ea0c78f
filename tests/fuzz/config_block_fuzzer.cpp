// Feeds an arbitrary device document through the readers of configuration blocks: the text
// readers and the registry's intake of a search answer, and the audio- and video-capture
// records the talk console reads from a device's answers. The first byte picks the reader.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "devconfig/config_block_readers.h"
#include "devconfig/device_identity_reader.h"
#include "discovery/device_registry.h"
#include "qm_netsdk.h"
#include "shell/diag_log.h"

namespace {

void Expect(bool condition) {
  if (!condition)
    __builtin_trap();
}

template <std::size_t N>
void ExpectTerminated(const char (&field)[N]) {
  Expect(std::memchr(field, 0, N) != nullptr);
}

void ReadAnswer(const std::string& text) {
  vdz::LanConfigRecord lan{};
  vdz::ReadLanConfig(text.c_str(), &lan);
  vdz::StreamAccessRecord stream{};
  vdz::ReadStreamAccess(text.c_str(), &stream);
  vdz::UserConfigRecord users{};
  vdz::ReadUserConfig(text.c_str(), &users);
  vdz::RkSystemRecord rk{};
  vdz::ReadRkSystem(text.c_str(), &rk);
  vdz::DeviceIdentity identity{};
  vdz::ReadDeviceIdentity(text.c_str(), &identity);

  vdz::DeviceRegistry registry;
  if (registry.AddDeviceAnswer(text.data(), static_cast<int>(text.size()), "10.0.0.1") != 0)
    return;
  auto record = std::make_unique<vdz::DeviceRecord>();
  Expect(registry.GetDeviceCount() == 1 &&
         registry.CopyRecord(0, record.get(), sizeof *record) == 0);
  ExpectTerminated(record->SerialNumber);
  ExpectTerminated(record->DeviceType);
  ExpectTerminated(record->Osd);
  ExpectTerminated(record->Lan.IPAddress);
  ExpectTerminated(record->Users.Accounts[0].Password);
  ExpectTerminated(record->RkSystem.NOTES);
  ExpectTerminated(record->AnswerText);
}

using Reader = int (*)(void*, const char*);
using Writer = char* (*)(const void*);

// A record read from a device's document, written as a document and read again, is the same.
template <std::size_t N>
void ReadCapture(const std::string& text, Reader read, Writer write) {
  unsigned char record[N] = {};
  if (read(record, text.c_str()) != QM_NETSDK_OK)
    return;
  char* written = write(record);
  Expect(written != nullptr);
  unsigned char again[N] = {};
  Expect(read(again, written) == QM_NETSDK_OK && std::memcmp(record, again, N) == 0);
  QM_NETSDK_IPC_XMLGET_SAFE_FREE(written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool observed = [] {
    // Log lines quote device text: have them formatted as they would be with a log open.
    vdz::DiagnosticLog::Instance().SetObserver([](std::string_view) {});
    return true;
  }();
  (void)observed;
  if (size == 0)
    return 0;
  // Devices' texts reach the readers NUL-terminated.
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      ReadAnswer(text);
      break;
    case 1:
      ReadCapture<24>(text, QM_NETSDK_IPC_Media_getAudioCaptureByXml,
                      QM_NETSDK_IPC_XMLGET_AudioCaptureConfig);
      break;
    default:
      ReadCapture<176>(text, QM_NETSDK_IPC_Media_getVideoCaptureByXml,
                       QM_NETSDK_IPC_XMLGET_VideoCaptureConfig);
      break;
  }
  return 0;
}
