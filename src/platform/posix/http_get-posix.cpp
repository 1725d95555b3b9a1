#include <curl/curl.h>

#include <mutex>

#include "platform/platform.hpp"

namespace platform {
namespace {

std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// curl_global_init is not thread-safe; the update check and the download may start on two threads.
void InitializeCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

std::string HttpGet(const std::string& url, const HttpSettings& settings, std::uint32_t& status) {
  status = 0;
  std::string body;
  InitializeCurlOnce();
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return body;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  // Redirects are followed as WinHTTP follows them: never from HTTPS down to HTTP.
  const bool secure = url.compare(0, 8, "https://") == 0;
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
  curl_easy_setopt(curl, CURLOPT_USERAGENT, settings.userAgent.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  // curl counts name resolution into the connect time; a send or receive that stalls is caught by
  // the low-speed rule: less than one byte a second for that long ends the transfer.
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(settings.resolveTimeoutMs + settings.connectTimeoutMs));
  const unsigned stallMs =
      settings.sendTimeoutMs > settings.receiveTimeoutMs ? settings.sendTimeoutMs : settings.receiveTimeoutMs;
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>((stallMs + 999) / 1000));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  const CURLcode result = curl_easy_perform(curl);
  long code = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
  curl_easy_cleanup(curl);
  status = static_cast<std::uint32_t>(code);
  // No response at all: nothing of a half-received header block is kept.
  if (result != CURLE_OK && status == 0) body.clear();
  return body;
}

}  // namespace platform
