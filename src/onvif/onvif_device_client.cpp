#include "onvif/onvif_device_client.h"

#include <ctime>
#include <optional>

#include "onvif/onvif_requests.h"
#include "onvif/xaddr_choice.h"
#include "onvif/xml_local.h"
#include "shell/diag_log.h"

namespace vdz::onvif {

namespace {

// Each profile costs one request; a device listing dozens must not hold up the identity.
constexpr std::size_t kMaxStreamProfiles = 8;

// The action's last path part ("GetProfiles"), for log lines.
std::string ActionName(const std::string& action) {
  const std::size_t slash = action.rfind('/');
  return slash == std::string::npos ? action : action.substr(slash + 1);
}

// The envelope version a reply was written in; nullopt when it is no SOAP envelope.
std::optional<SoapVersion> ReplyVersion(const std::string& reply) {
  tinyxml2::XMLDocument document;
  if (!ParseXml(&document, reply))
    return std::nullopt;
  const tinyxml2::XMLElement* envelope = document.RootElement();
  if (LocalName(envelope->Name()) != "Envelope")
    return std::nullopt;
  const std::string ns = NamespaceOfPrefix(envelope, PrefixOf(envelope->Name()));
  if (ns == kSoap11Namespace)
    return SoapVersion::k11;
  if (ns == kSoap12Namespace)
    return SoapVersion::k12;
  return std::nullopt;
}

std::string FaultText(const SoapFault& fault) {
  std::string text = fault.reason.empty() ? "SOAP fault" : fault.reason;
  if (!fault.subcode.empty())
    text += " (" + fault.subcode + ")";
  else if (!fault.code.empty())
    text += " (" + fault.code + ")";
  return text;
}

// The service address on the host the device is reached at: devices behind NAT, or with a
// second address, name hosts the workstation cannot reach in their replies.
std::string OnDeviceHost(const std::string& service_url, const std::string& device_url) {
  HttpAddress service;
  HttpAddress device;
  if (!ParseHttpAddress(service_url, &service) || !ParseHttpAddress(device_url, &device))
    return device_url;
  service.host = device.host;
  service.ipv6 = device.ipv6;
  return FormatHttpAddress(service);
}

}  // namespace

OnvifDeviceClient::OnvifDeviceClient(std::string device_url, HttpOptions options,
                                     SoapVersion version)
    : device_url_(std::move(device_url)), options_(std::move(options)), version_(version) {}

OnvifDeviceClient::Call OnvifDeviceClient::SendOnce(const std::string& url,
                                                    const std::string& action,
                                                    const std::string& body, bool with_login) {
  Call call;
  if (options_.stop.stop_requested()) {
    call.error = "cancelled";
    return call;
  }
  const bool login = with_login && !account_.user.empty();
  std::string envelope;
  if (login && !http_digest_) {
    const UsernameToken token =
        MakeUsernameToken(account_.user, account_.password, CameraNow(clock_offset_));
    envelope = BuildEnvelope(version_, body, &token);
  } else {
    envelope = BuildEnvelope(version_, body);
  }
  const HttpLogin http_login =
      login && http_digest_ ? HttpLogin{account_.user, account_.password} : HttpLogin{};
  const HttpReply reply = PostSoap(url, version_, action, envelope, http_login, options_);
  if (reply.curl_code != 0) {
    call.error = reply.error;
    return call;
  }
  call.answered = true;
  SoapFault fault;
  const bool has_fault = ReadFault(reply.body, &fault);
  if (reply.ok() && !has_fault) {
    call.status = CallStatus::kOk;
    call.reply = reply.body;
    return call;
  }
  if (reply.status == 401 || (has_fault && IsNotAuthorized(fault))) {
    call.status = CallStatus::kNotAuthorized;
    call.error = has_fault ? FaultText(fault) : "HTTP 401";
    return call;
  }
  call.error = has_fault ? FaultText(fault) : "HTTP " + std::to_string(reply.status);
  // A device that speaks only the other SOAP version says so with a VersionMismatch fault,
  // a 415, or a fault written in its own version.
  if (!version_known_) {
    const std::optional<SoapVersion> written = ReplyVersion(reply.body);
    if ((has_fault && fault.code == "VersionMismatch") || reply.status == 415 ||
        (written && *written != version_))
      call.other_version = true;
  }
  return call;
}

OnvifDeviceClient::Call OnvifDeviceClient::Send(const std::string& url, const std::string& action,
                                                const std::string& body, bool with_login) {
  Call call = SendOnce(url, action, body, with_login);
  if (call.other_version) {
    version_ = version_ == SoapVersion::k12 ? SoapVersion::k11 : SoapVersion::k12;
    DiagLog("OnvifDeviceClient: %s speaks SOAP %s\n", device_url_.c_str(),
            version_ == SoapVersion::k11 ? "1.1" : "1.2");
    call = SendOnce(url, action, body, with_login);
  }
  if (call.status == CallStatus::kOk)
    version_known_ = true;
  if (call.status == CallStatus::kNotAuthorized && with_login && !account_.user.empty() &&
      !http_digest_) {
    http_digest_ = true;
    Call digest = SendOnce(url, action, body, with_login);
    if (digest.status == CallStatus::kOk) {
      DiagLog("OnvifDeviceClient: %s takes HTTP Digest for %s\n", device_url_.c_str(),
              account_.user.c_str());
      return digest;
    }
    // Both refused: the password is wrong, not the method.
    http_digest_ = false;
    if (digest.status == CallStatus::kNotAuthorized)
      return call;
    return digest;
  }
  if (call.status != CallStatus::kOk) {
    DiagLog("OnvifDeviceClient: %s %s failed: %s\n", url.c_str(), ActionName(action).c_str(),
            call.error.c_str());
  }
  return call;
}

void OnvifDeviceClient::ReadClock(bool with_login) {
  const SoapRequest request = GetSystemDateAndTimeRequest();
  const Call call = Send(device_url_, request.action, request.body, with_login);
  std::int64_t device_utc = 0;
  if (call.status == CallStatus::kOk && ReadSystemDateAndTime(call.reply, &device_utc)) {
    clock_offset_ = ClockOffset(device_utc, static_cast<std::int64_t>(std::time(nullptr)));
    clock_known_ = true;
  }
}

void OnvifDeviceClient::UseAccount(const OnvifAccount& account) {
  if (!clock_known_)
    ReadClock();
  account_ = account;
  http_digest_ = false;
}

OnvifIdentity OnvifDeviceClient::ReadIdentity(const std::vector<OnvifAccount>& accounts) {
  OnvifIdentity id;
  ReadClock();
  id.clock_known = clock_known_;
  id.clock_offset = clock_offset_;

  const std::vector<OnvifAccount> tried =
      accounts.empty() ? std::vector<OnvifAccount>{{}} : accounts;
  const SoapRequest info_request = GetDeviceInformationRequest();
  Call info;
  std::string refusal;
  for (const OnvifAccount& account : tried) {
    account_ = account;
    http_digest_ = false;
    info = Send(device_url_, info_request.action, info_request.body, true);
    if (info.status != CallStatus::kNotAuthorized)
      break;
    DiagLog("OnvifDeviceClient: %s refused the login as %s\n", device_url_.c_str(),
            account.user.c_str());
    refusal = info.error;
  }
  if (info.status == CallStatus::kNotAuthorized) {
    id.reachable = true;
    id.login_failed = true;
    id.login_error = (tried.size() == 1 ? "login refused: " : "every account refused: ") + refusal;
    account_ = {};
    return id;
  }
  DeviceInformation device;
  if (info.status != CallStatus::kOk || !ReadDeviceInformation(info.reply, &device)) {
    id.reachable = clock_known_ || info.answered;
    id.error = info.error.empty() ? "unreadable GetDeviceInformation reply" : info.error;
    return id;
  }
  id.reachable = true;
  // A device that wanted a login even for its clock gives it now; until then the token was
  // stamped with our clock, which it took.
  if (!clock_known_) {
    ReadClock(true);
    id.clock_known = clock_known_;
    id.clock_offset = clock_offset_;
  }
  id.user = account_.user;
  id.http_digest = http_digest_;
  id.manufacturer = device.manufacturer;
  id.model = device.model;
  id.firmware = device.firmware_version;
  id.serial = device.serial_number;
  id.hardware = device.hardware_id;

  const auto note = [&id](const std::string& what) {
    if (id.error.empty())
      id.error = what;
  };

  const SoapRequest net_request = GetNetworkInterfacesRequest();
  const Call net = Send(device_url_, net_request.action, net_request.body, true);
  std::vector<NetworkInterface> interfaces;
  if (net.status == CallStatus::kOk && ReadNetworkInterfaces(net.reply, &interfaces) &&
      !interfaces.empty()) {
    const NetworkInterface* chosen = &interfaces.front();
    for (const NetworkInterface& i : interfaces) {
      if (i.enabled && !i.address.empty()) {
        chosen = &i;
        break;
      }
    }
    id.mac = chosen->mac;
    id.dhcp = chosen->dhcp;
    id.address = chosen->address;
    id.prefix_length = chosen->prefix_length;
    id.interface_token = chosen->token;
  } else {
    note("GetNetworkInterfaces: " + net.error);
  }

  ServiceAddresses services;
  const SoapRequest caps_request = GetCapabilitiesRequest();
  const Call caps = Send(device_url_, caps_request.action, caps_request.body, true);
  if (caps.status != CallStatus::kOk || !ReadCapabilities(caps.reply, &services) ||
      services.media.empty()) {
    const SoapRequest services_request = GetServicesRequest();
    const Call list = Send(device_url_, services_request.action, services_request.body, true);
    if (list.status == CallStatus::kOk)
      ReadServices(list.reply, &services);
  }
  id.media_url = services.media.empty() ? device_url_ : OnDeviceHost(services.media, device_url_);

  const SoapRequest profiles_request = GetProfilesRequest();
  const Call profiles = Send(id.media_url, profiles_request.action, profiles_request.body, true);
  std::vector<MediaProfile> media_profiles;
  if (profiles.status != CallStatus::kOk || !ReadProfiles(profiles.reply, &media_profiles)) {
    note("GetProfiles: " + profiles.error);
    return id;
  }
  for (const MediaProfile& p : media_profiles) {
    OnvifProfile profile{p.token, p.name, p.encoding, p.width, p.height, {}};
    if (id.profiles.size() < kMaxStreamProfiles) {
      const SoapRequest uri_request = GetStreamUriRequest(p.token);
      const Call uri = Send(id.media_url, uri_request.action, uri_request.body, true);
      if (uri.status != CallStatus::kOk || !ReadMediaUri(uri.reply, &profile.stream_uri))
        note("GetStreamUri: " + uri.error);
    }
    id.profiles.push_back(std::move(profile));
  }
  if (!media_profiles.empty()) {
    const SoapRequest snap_request = GetSnapshotUriRequest(media_profiles.front().token);
    const Call snap = Send(id.media_url, snap_request.action, snap_request.body, true);
    if (snap.status != CallStatus::kOk || !ReadMediaUri(snap.reply, &id.snapshot_uri))
      note("GetSnapshotUri: " + snap.error);
  }
  return id;
}

OnvifResult OnvifDeviceClient::Simple(const std::string& url, const std::string& action,
                                      const std::string& body) {
  const Call call = Send(url, action, body, true);
  if (call.status == CallStatus::kOk)
    return {true, {}};
  if (call.status == CallStatus::kNotAuthorized)
    return {false, "login refused: " + call.error};
  return {false, call.error};
}

OnvifResult OnvifDeviceClient::SystemReboot() {
  const SoapRequest r = SystemRebootRequest();
  return Simple(device_url_, r.action, r.body);
}

OnvifResult OnvifDeviceClient::SetSystemDateAndTime(bool use_ntp) {
  const SoapRequest r =
      SetSystemDateAndTimeRequest(use_ntp, static_cast<std::int64_t>(std::time(nullptr)));
  OnvifResult result = Simple(device_url_, r.action, r.body);
  // The device now keeps our time: tokens from here on carry our clock.
  if (result.ok && !use_ntp)
    clock_offset_ = 0;
  return result;
}

OnvifResult OnvifDeviceClient::SetNtp(const std::vector<std::string>& servers) {
  const SoapRequest r = SetNtpRequest(servers);
  return Simple(device_url_, r.action, r.body);
}

OnvifResult OnvifDeviceClient::SetNetworkInterface(const std::string& interface_token,
                                                   const std::string& address, int prefix_length,
                                                   const std::string& gateway) {
  const SoapRequest r = SetNetworkInterfacesRequest(interface_token, address, prefix_length);
  OnvifResult result = Simple(device_url_, r.action, r.body);
  if (!result.ok || gateway.empty())
    return result;
  const SoapRequest g = SetNetworkDefaultGatewayRequest(gateway);
  result = Simple(device_url_, g.action, g.body);
  if (result.ok)
    return result;
  // A device that took its new address at once answers only there.
  const std::string moved_url = WithHost(device_url_, address);
  if (moved_url == device_url_)
    return result;
  result = Simple(moved_url, g.action, g.body);
  if (result.ok)
    device_url_ = moved_url;
  return result;
}

OnvifResult OnvifDeviceClient::SetUser(const std::string& user, const std::string& password,
                                       const std::string& level) {
  const SoapRequest r = SetUserRequest(user, password, level);
  return Simple(device_url_, r.action, r.body);
}

}  // namespace vdz::onvif
