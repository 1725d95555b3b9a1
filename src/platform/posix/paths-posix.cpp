#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/path_rules.hpp"
#include "platform/platform.hpp"

namespace platform {

std::string ToInternalPath(const std::string& nativePath) {
  // Already internal (a path field that holds "D:\ymir work\" stays on its missing drive).
  if (HasDriveLetter(nativePath)) return WithBackslashes(nativePath);
  std::string result;
  result.reserve(nativePath.size() + 2);
  if (!nativePath.empty() && nativePath[0] == '/') result = "Z:";
  for (char c : nativePath) {
    const bool separator = c == '/' || c == '\\';
    // POSIX reads "a//b" as "a/b"; the internal form should not carry the doubled separator.
    if (separator && !result.empty() && result.back() == '\\') continue;
    result.push_back(separator ? '\\' : c);
  }
  return result;
}

std::optional<std::string> ToNativePath(const std::string& internalPath) {
  std::string rest = internalPath;
  if (HasDriveLetter(internalPath)) {
    if (FoldToUpper(internalPath[0]) != 'Z') return std::nullopt;
    // "Z:x" is relative to the current folder of drive Z:, which is the current folder here.
    rest = internalPath.substr(2);
    if (rest.empty()) return std::string("/");
  } else if (rest.size() >= 2 && IsPathSeparator(rest[0]) && IsPathSeparator(rest[1])) {
    // A UNC share is no drive this system has.
    return std::nullopt;
  }
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  return rest;
}

std::string CurrentFolder() {
  std::vector<char> buffer(512);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return WithoutTrailingSeparators(ToInternalPath(buffer.data()));
}

std::string LongPathForm(const std::string& path) { return path; }

namespace {

// Windows-1252 at 0x80..0x9F; its five unassigned bytes keep their C1 code points, as Windows
// reads them, so every byte has a character of its own.
constexpr char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Length of the well-formed UTF-8 sequence at text[at], 0 when none starts there.
std::size_t Utf8SequenceAt(const std::string& text, std::size_t at) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = at + 2; i < at + length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

void AppendUtf8(char32_t code, std::string& out) {
  if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
  }
  out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
}

}  // namespace

std::string NameAsListed(const std::string& name) {
  // Byte by byte, so a path converts the same as each of its names on its own.
  std::string converted;
  converted.reserve(name.size());
  for (std::size_t at = 0; at < name.size();) {
    const unsigned char byte = static_cast<unsigned char>(name[at]);
    const std::size_t length = byte < 0x80 ? 1 : Utf8SequenceAt(name, at);
    if (length != 0) {
      converted.append(name, at, length);
      at += length;
    } else {
      AppendUtf8(byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte, converted);
      ++at;
    }
  }
  return converted;
}

}  // namespace platform
