// Feeds arbitrary datagrams through everything the discovery worker does with an answer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "devconfig/config_block_readers.h"
#include "devconfig/device_document.h"
#include "devconfig/device_identity_reader.h"
#include "devconfig/message_header_reader.h"
#include "discovery/discovery_protocol.h"
#include "shell/bounded_text.h"

namespace {

// Every text field must stay terminated inside its array, whatever came in.
template <std::size_t N>
void CheckTerminated(const char (&field)[N]) {
  if (std::memchr(field, 0, N) == nullptr)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The worker receives at most this many bytes and terminates them.
  if (size > vdz::kMaxDiscoveryDatagram)
    size = vdz::kMaxDiscoveryDatagram;
  const std::string text(reinterpret_cast<const char*>(data), size);

  vdz::ClassifyDatagram(text.c_str());

  vdz::MessageHeader header;
  vdz::ReadMessageHeader(text.c_str(), &header);
  CheckTerminated(header.Msg_type);
  CheckTerminated(header.Msg_code);
  CheckTerminated(header.Msg_flag);

  const vdz::DeviceDocument doc(text.c_str());
  vdz::ClassifyDatagram(doc);
  vdz::DeviceIdentity identity{};
  identity.P2PSTATUS = -1;
  vdz::ReadDeviceIdentity(doc, &identity);
  CheckTerminated(identity.SerialNumber);
  CheckTerminated(identity.P2PID);
  CheckTerminated(identity.OSD);
  vdz::RkSystemRecord rk;
  vdz::ReadRkSystem(doc, &rk);
  CheckTerminated(rk.MANAGECENTER);
  vdz::LanConfigRecord lan{};
  vdz::ReadLanConfig(doc, &lan);
  CheckTerminated(lan.MacAddress);
  CheckTerminated(lan.DNS2);
  vdz::StreamAccessRecord stream{};
  vdz::ReadStreamAccess(doc, &stream);
  if (stream.Auth < -32768 || stream.Auth > 32767)
    __builtin_trap();
  vdz::UserConfigRecord users{};
  vdz::ReadUserConfig(doc, &users);
  CheckTerminated(users.Accounts[0].Username);
  CheckTerminated(users.Accounts[0].Status);
  return 0;
}
