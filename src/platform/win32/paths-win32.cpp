#include <algorithm>
#include <vector>

#include "platform/path_rules.hpp"
#include "platform/platform.hpp"
#include "platform/win32/win32_support.hpp"

namespace platform {
namespace win32 {
namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

// The classic limit is MAX_PATH, and folders must leave room for an 8.3 name below them.
constexpr std::size_t kLongPathThreshold = MAX_PATH - 12;

}  // namespace

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  UINT codePage = CP_UTF8;
  int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0);
  if (length <= 0) {
    codePage = CP_ACP;
    length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length, nullptr,
                      nullptr);
  return narrow;
}

std::wstring ApiPath(const std::string& path) {
  std::wstring wide = Widen(WithBackslashes(path));
  if (wide.size() < kLongPathThreshold || StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\")) {
    return wide;
  }
  // The prefixed form is taken literally, so "." and ".." must be gone before it is added.
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return wide;
  std::vector<wchar_t> full(needed + 1);
  const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return wide;
  return Widen(LongPathForm(Narrow(std::wstring(full.data(), length))));
}

}  // namespace win32

std::string ToInternalPath(const std::string& nativePath) { return WithBackslashes(nativePath); }

// The file system finds names whatever their letter case; no listing is read for that here.
std::uint64_t CaseLookupNamesRead() { return 0; }

// The same reading the file API gets through Widen, so the name found is the one opened.
std::string NameAsListed(const std::string& name) {
  const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; });
  return ascii ? name : win32::Narrow(win32::Widen(name));
}

std::optional<std::string> ToNativePath(const std::string& internalPath) {
  return WithBackslashes(internalPath);
}

std::string CurrentFolder() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return std::string();
  std::vector<wchar_t> buffer(needed + 1);
  const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return std::string();
  return WithoutTrailingSeparators(win32::Narrow(std::wstring(buffer.data(), length)));
}

std::string LongPathForm(const std::string& path) {
  const std::string slashed = WithBackslashes(path);
  if (slashed.rfind("\\\\?\\", 0) == 0 || slashed.rfind("\\\\.\\", 0) == 0) return slashed;
  if (slashed.size() >= 2 && slashed[0] == '\\' && slashed[1] == '\\')
    return "\\\\?\\UNC\\" + slashed.substr(2);
  // The prefix turns off the system's own reading of the path, so only a full drive path may carry it.
  if (HasDriveLetter(slashed) && slashed.size() >= 3 && slashed[2] == '\\') return "\\\\?\\" + slashed;
  return slashed;
}

}  // namespace platform
