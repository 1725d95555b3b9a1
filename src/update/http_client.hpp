// The web client of the update check and the self-update: one blocking GET at a time per call.
#pragma once

#include <cstdint>
#include <string>

class HttpClient {
 public:
  // The whole body and the HTTP status. Nothing is thrown: a URL without a host, a failed
  // connection, an untrusted certificate or a timeout give status 0 and an empty body; a body cut
  // short keeps the status of its response. The caller checks the status (a 404 has a body too).
  static std::string Get(const std::string& url, std::uint32_t& status);
};
