// The RTSP address of a camera stream, with the account in its user part.
#pragma once

#include <string>

namespace vdz::rtsp {

// rtsp://user:password@ip:port/path with user and password percent-encoded (so a password
// holding '@' or ':' stays one field); without the account when both are empty. A shown URL
// (with_password false) carries "***" for a non-empty password.
std::string BuildUrl(const std::string& ip, int port, const char* user, const char* password,
                     const std::string& path, bool with_password);

// A device's own stream address (an ONVIF profile's) with the account put into its user
// part as BuildUrl does; an address that already carries one keeps it. Empty when the text is
// not an rtsp:// address.
std::string UrlWithAccount(const std::string& url, const char* user, const char* password,
                           bool with_password);

// The URL path of a stream number on our devices: "/live/0" main, "/live/1" sub.
std::string DefaultStreamPath(int stream_number);

}  // namespace vdz::rtsp
