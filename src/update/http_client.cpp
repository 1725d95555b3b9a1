#include "update/http_client.hpp"

#include "platform/platform.hpp"

std::string HttpClient::Get(const std::string& url, std::uint32_t& status) {
  platform::HttpSettings settings;
  settings.userAgent = "Vintrel/1.0";
  settings.resolveTimeoutMs = 5000;
  settings.connectTimeoutMs = 5000;
  settings.sendTimeoutMs = 10000;
  settings.receiveTimeoutMs = 10000;
  return platform::HttpGet(url, settings, status);
}
