#include <iterator>
#include <vector>

#include "platform/platform.hpp"
#include "platform/win32/win32_support.hpp"

// Needs <windows.h> before it.
#include <winhttp.h>

namespace platform {
namespace {

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_ != nullptr) WinHttpCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_;
};

}  // namespace

std::string HttpGet(const std::string& url, const HttpSettings& settings, std::uint32_t& status) {
  status = 0;
  std::string body;
  // Byte by byte: update addresses are plain ASCII.
  const std::wstring wideUrl(url.begin(), url.end());
  wchar_t host[256] = {};
  wchar_t path[2048] = {};
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = static_cast<DWORD>(std::size(path));
  if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts) || host[0] == L'\0') return body;
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

  // Handles close in reverse order of opening: the request's destructor runs first.
  const std::wstring agent = win32::Widen(settings.userAgent);
  InternetHandle root(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0));
  if (!root) return body;
  WinHttpSetTimeouts(root.get(), static_cast<int>(settings.resolveTimeoutMs),
                     static_cast<int>(settings.connectTimeoutMs), static_cast<int>(settings.sendTimeoutMs),
                     static_cast<int>(settings.receiveTimeoutMs));
  InternetHandle connection(WinHttpConnect(root.get(), host, parts.nPort, 0));
  if (!connection) return body;
  // Certificate checks stay as the system does them: the download is run afterwards.
  InternetHandle request(WinHttpOpenRequest(connection.get(), L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return body;
  if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                          0) ||
      !WinHttpReceiveResponse(request.get(), nullptr)) {
    return body;
  }
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request.get(), &available) || available == 0) break;
    std::vector<char> chunk(available, '\0');
    DWORD read = 0;
    if (!WinHttpReadData(request.get(), chunk.data(), available, &read)) break;
    body.append(chunk.data(), read);
  }
  DWORD code = 0;
  DWORD size = sizeof code;
  if (WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX)) {
    status = code;
  }
  return body;
}

}  // namespace platform
