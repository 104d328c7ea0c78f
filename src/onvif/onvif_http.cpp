#include "onvif/onvif_http.h"

#include <curl/curl.h>

#include <mutex>

namespace vdz::onvif {

namespace {

struct Transfer {
  std::string* body;
  std::size_t max;
  bool too_long = false;
  const std::stop_token* stop;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (t->body->size() + bytes > t->max) {
    t->too_long = true;
    return 0;
  }
  t->body->append(data, bytes);
  return bytes;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* t = static_cast<const Transfer*>(user);
  return t->stop->stop_requested() ? 1 : 0;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpReply Perform(const std::string& url, const std::string* post_body,
                  const std::string& content_type, const std::string& soap_action,
                  const HttpLogin& login, const HttpOptions& options) {
  GlobalInit();
  HttpReply reply;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    reply.curl_code = CURLE_FAILED_INIT;
    reply.error = "no HTTP client";
    return reply;
  }
  Transfer transfer{&reply.body, options.max_reply, false, &options.stop};
  char error_text[CURL_ERROR_SIZE] = {};
  curl_slist* headers = nullptr;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(options.connect_timeout.count()));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(options.total_timeout.count()));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Progress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error_text);
  // Devices use self-signed certificates; the address came from the device itself.
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  if (!login.user.empty()) {
    // Digest only: curl answers the device's challenge, MD5 or SHA-256, and a password never
    // goes out in the clear as Basic would send it.
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
    curl_easy_setopt(curl, CURLOPT_USERNAME, login.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, login.password.c_str());
  }
  if (post_body != nullptr) {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post_body->data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(post_body->size()));
    headers = curl_slist_append(headers, ("Content-Type: " + content_type).c_str());
    if (!soap_action.empty())
      headers = curl_slist_append(headers, ("SOAPAction: \"" + soap_action + '"').c_str());
    // Some devices stall on "Expect: 100-continue".
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  }
  const CURLcode code = curl_easy_perform(curl);
  reply.curl_code = static_cast<int>(code);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  const char* type = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr)
    reply.content_type = type;
  if (code != CURLE_OK) {
    reply.cancelled = code == CURLE_ABORTED_BY_CALLBACK;
    if (reply.cancelled) {
      reply.error = "cancelled";
    } else if (transfer.too_long) {
      reply.error = "reply too long";
    } else {
      reply.error = error_text[0] != '\0' ? error_text : curl_easy_strerror(code);
    }
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return reply;
}

}  // namespace

HttpReply PostSoap(const std::string& url, SoapVersion version, const std::string& action,
                   const std::string& envelope, const HttpLogin& login,
                   const HttpOptions& options) {
  if (version == SoapVersion::k12) {
    return Perform(url, &envelope, "application/soap+xml; charset=utf-8; action=\"" + action + '"',
                   {}, login, options);
  }
  return Perform(url, &envelope, "text/xml; charset=utf-8", action, login, options);
}

HttpReply FetchSnapshot(const std::string& url, const HttpLogin& login,
                        const HttpOptions& options) {
  return Perform(url, nullptr, {}, {}, login, options);
}

}  // namespace vdz::onvif
