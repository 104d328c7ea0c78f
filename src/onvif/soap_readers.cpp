#include "onvif/soap_readers.h"

#include <charconv>
#include <ctime>

#include "onvif/xml_local.h"

namespace vdz::onvif {

namespace {

using tinyxml2::XMLElement;

// The Body of a SOAP envelope of either version, or nullptr.
const XMLElement* Body(tinyxml2::XMLDocument* document, std::string_view reply) {
  if (!ParseXml(document, reply))
    return nullptr;
  const XMLElement* envelope = document->RootElement();
  if (LocalName(envelope->Name()) != "Envelope")
    return nullptr;
  return Child(envelope, "Body");
}

bool ToInt(const std::string& text, int* value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc{} && end == text.data() + text.size();
}

int IntOf(const XMLElement* e, int fallback = 0) {
  int value = 0;
  return ToInt(Text(e), &value) ? value : fallback;
}

bool IsTrue(const XMLElement* e) {
  const std::string text = Text(e);
  return text == "true" || text == "1";
}

bool ReadDateTime(const XMLElement* date_time, std::int64_t* seconds) {
  const XMLElement* date = Child(date_time, "Date");
  const XMLElement* time = Child(date_time, "Time");
  if (date == nullptr || time == nullptr)
    return false;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!ToInt(Text(Child(date, "Year")), &year) || !ToInt(Text(Child(date, "Month")), &month) ||
      !ToInt(Text(Child(date, "Day")), &day) || !ToInt(Text(Child(time, "Hour")), &hour) ||
      !ToInt(Text(Child(time, "Minute")), &minute) || !ToInt(Text(Child(time, "Second")), &second))
    return false;
  if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
      hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
    return false;
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  *seconds = static_cast<std::int64_t>(timegm(&parts));
  return true;
}

}  // namespace

bool ReadFault(std::string_view reply, SoapFault* fault) {
  tinyxml2::XMLDocument document;
  const XMLElement* f = Child(Body(&document, reply), "Fault");
  if (f == nullptr)
    return false;
  *fault = {};
  if (const XMLElement* code = Child(f, "Code")) {
    fault->code = std::string(LocalName(Text(Child(code, "Value"))));
    // Subcodes nest; the innermost is the most specific.
    for (const XMLElement* sub = Child(code, "Subcode"); sub != nullptr;
         sub = Child(sub, "Subcode")) {
      const std::string value = Text(Child(sub, "Value"));
      if (!value.empty())
        fault->subcode = std::string(LocalName(value));
    }
    const XMLElement* reason = Child(f, "Reason");
    fault->reason = Text(Child(reason, "Text"));
  } else {
    fault->code = std::string(LocalName(Text(Child(f, "faultcode"))));
    fault->reason = Text(Child(f, "faultstring"));
    // SOAP 1.1 devices put the ONVIF subcode in detail, if anywhere.
    const XMLElement* detail = Child(f, "detail");
    if (const XMLElement* value = Descendant(detail, "Value"))
      fault->subcode = std::string(LocalName(Text(value)));
  }
  return true;
}

bool IsNotAuthorized(const SoapFault& fault) {
  if (fault.subcode == "NotAuthorized" || fault.code == "NotAuthorized" ||
      fault.subcode == "FailedAuthentication" || fault.code == "FailedAuthentication")
    return true;
  std::string reason = fault.reason;
  for (char& c : reason) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return reason.find("not authorized") != std::string::npos ||
         reason.find("unauthorized") != std::string::npos;
}

bool ReadSystemDateAndTime(std::string_view reply, std::int64_t* device_utc_seconds) {
  tinyxml2::XMLDocument document;
  const XMLElement* info =
      Path(Body(&document, reply), {"GetSystemDateAndTimeResponse", "SystemDateAndTime"});
  if (info == nullptr)
    return false;
  if (const XMLElement* utc = Child(info, "UTCDateTime"))
    return ReadDateTime(utc, device_utc_seconds);
  return ReadDateTime(Child(info, "LocalDateTime"), device_utc_seconds);
}

bool ReadDeviceInformation(std::string_view reply, DeviceInformation* info) {
  tinyxml2::XMLDocument document;
  const XMLElement* r = Child(Body(&document, reply), "GetDeviceInformationResponse");
  if (r == nullptr)
    return false;
  info->manufacturer = Text(Child(r, "Manufacturer"));
  info->model = Text(Child(r, "Model"));
  info->firmware_version = Text(Child(r, "FirmwareVersion"));
  info->serial_number = Text(Child(r, "SerialNumber"));
  info->hardware_id = Text(Child(r, "HardwareId"));
  return true;
}

bool ReadNetworkInterfaces(std::string_view reply, std::vector<NetworkInterface>* interfaces) {
  tinyxml2::XMLDocument document;
  const XMLElement* r = Child(Body(&document, reply), "GetNetworkInterfacesResponse");
  if (r == nullptr)
    return false;
  interfaces->clear();
  for (const XMLElement* n : Children(r, "NetworkInterfaces")) {
    if (interfaces->size() >= kMaxListItems)
      break;
    NetworkInterface i;
    i.token = Attribute(n, "token");
    i.enabled = IsTrue(Child(n, "Enabled"));
    const XMLElement* info = Child(n, "Info");
    i.name = Text(Child(info, "Name"));
    i.mac = Text(Child(info, "HwAddress"));
    const XMLElement* config = Path(n, {"IPv4", "Config"});
    i.dhcp = IsTrue(Child(config, "DHCP"));
    const XMLElement* address = i.dhcp ? Child(config, "FromDHCP") : nullptr;
    if (address == nullptr)
      address = Child(config, "Manual");
    if (address == nullptr)
      address = Child(config, "FromDHCP");
    i.address = Text(Child(address, "Address"));
    i.prefix_length = IntOf(Child(address, "PrefixLength"));
    interfaces->push_back(std::move(i));
  }
  return true;
}

bool ReadCapabilities(std::string_view reply, ServiceAddresses* addresses) {
  tinyxml2::XMLDocument document;
  const XMLElement* caps =
      Path(Body(&document, reply), {"GetCapabilitiesResponse", "Capabilities"});
  if (caps == nullptr)
    return false;
  addresses->device = Text(Path(caps, {"Device", "XAddr"}));
  addresses->media = Text(Path(caps, {"Media", "XAddr"}));
  return true;
}

bool ReadServices(std::string_view reply, ServiceAddresses* addresses) {
  tinyxml2::XMLDocument document;
  const XMLElement* r = Child(Body(&document, reply), "GetServicesResponse");
  if (r == nullptr)
    return false;
  for (const XMLElement* s : Children(r, "Service")) {
    const std::string ns = Text(Child(s, "Namespace"));
    if (ns == "http://www.onvif.org/ver10/device/wsdl")
      addresses->device = Text(Child(s, "XAddr"));
    else if (ns == "http://www.onvif.org/ver10/media/wsdl")
      addresses->media = Text(Child(s, "XAddr"));
  }
  return true;
}

bool ReadProfiles(std::string_view reply, std::vector<MediaProfile>* profiles) {
  tinyxml2::XMLDocument document;
  const XMLElement* r = Child(Body(&document, reply), "GetProfilesResponse");
  if (r == nullptr)
    return false;
  profiles->clear();
  for (const XMLElement* p : Children(r, "Profiles")) {
    if (profiles->size() >= kMaxListItems)
      break;
    MediaProfile m;
    m.token = Attribute(p, "token");
    m.name = Text(Child(p, "Name"));
    const XMLElement* video = Child(p, "VideoEncoderConfiguration");
    m.encoding = Text(Child(video, "Encoding"));
    const XMLElement* resolution = Child(video, "Resolution");
    m.width = IntOf(Child(resolution, "Width"));
    m.height = IntOf(Child(resolution, "Height"));
    if (!m.token.empty())
      profiles->push_back(std::move(m));
  }
  return true;
}

bool ReadMediaUri(std::string_view reply, std::string* uri) {
  tinyxml2::XMLDocument document;
  const XMLElement* body = Body(&document, reply);
  const XMLElement* r = Child(body, "GetStreamUriResponse");
  if (r == nullptr)
    r = Child(body, "GetSnapshotUriResponse");
  const std::string text = Text(Path(r, {"MediaUri", "Uri"}));
  if (text.empty())
    return false;
  *uri = text;
  return true;
}

}  // namespace vdz::onvif
