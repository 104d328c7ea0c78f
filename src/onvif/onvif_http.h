// HTTP for the ONVIF client over libcurl: SOAP posts and snapshot downloads, with HTTP Digest
// (MD5 or SHA-256, as the device asks) where a device wants it. Cancellable.
#pragma once

#include <chrono>
#include <stop_token>
#include <string>

#include "onvif/soap_envelope.h"

namespace vdz::onvif {

struct HttpOptions {
  std::chrono::milliseconds connect_timeout{2000};
  std::chrono::milliseconds total_timeout{5000};
  // Requested by a Cancel: the transfer ends at its next progress check (within ~1 s or at
  // once when data moves).
  std::stop_token stop;
  // Replies are read up to this size; a longer one fails rather than filling memory.
  std::size_t max_reply = 4 * 1024 * 1024;
};

// HTTP Digest credentials; empty user = no HTTP authentication.
struct HttpLogin {
  std::string user;
  std::string password;
};

struct HttpReply {
  int curl_code = 0;  // CURLE_OK (0) when the exchange completed, whatever the status
  long status = 0;    // HTTP status, 0 when none came
  std::string body;
  std::string content_type;
  std::string error;  // plain text when curl_code != 0
  bool cancelled = false;
  bool ok() const { return curl_code == 0 && status >= 200 && status < 300; }
};

// Posts a SOAP envelope. SOAP 1.2: Content-Type application/soap+xml; charset=utf-8;
// action="..."; SOAP 1.1: text/xml; charset=utf-8 and a SOAPAction header.
HttpReply PostSoap(const std::string& url, SoapVersion version, const std::string& action,
                   const std::string& envelope, const HttpLogin& login, const HttpOptions& options);

// GET of a snapshot address, with HTTP Digest when a login is given.
HttpReply FetchSnapshot(const std::string& url, const HttpLogin& login, const HttpOptions& options);

}  // namespace vdz::onvif
