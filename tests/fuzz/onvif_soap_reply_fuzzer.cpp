// Feeds an arbitrary HTTP reply body through every ONVIF SOAP reply reader and the fault
// reading that decides a login fallback.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "onvif/soap_readers.h"

namespace {

void Expect(bool condition) {
  if (!condition)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  vdz::onvif::SoapFault fault;
  if (vdz::onvif::ReadFault(reply, &fault))
    vdz::onvif::IsNotAuthorized(fault);
  std::int64_t seconds = 0;
  if (vdz::onvif::ReadSystemDateAndTime(reply, &seconds))
    Expect(seconds >= 0);
  vdz::onvif::DeviceInformation info;
  vdz::onvif::ReadDeviceInformation(reply, &info);
  std::vector<vdz::onvif::NetworkInterface> interfaces;
  vdz::onvif::ReadNetworkInterfaces(reply, &interfaces);
  Expect(interfaces.size() <= vdz::onvif::kMaxListItems);
  vdz::onvif::ServiceAddresses addresses;
  vdz::onvif::ReadCapabilities(reply, &addresses);
  vdz::onvif::ReadServices(reply, &addresses);
  std::vector<vdz::onvif::MediaProfile> profiles;
  vdz::onvif::ReadProfiles(reply, &profiles);
  Expect(profiles.size() <= vdz::onvif::kMaxListItems);
  std::string uri;
  if (vdz::onvif::ReadMediaUri(reply, &uri))
    Expect(!uri.empty());
  return 0;
}
