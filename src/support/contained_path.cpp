#include "support/contained_path.hpp"

#include <array>
#include <cstring>

#include "log/debug_log.hpp"
#include "support/client_paths.hpp"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsForbiddenByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || std::strchr(":<>\"|?*", c) != nullptr;
}

bool IsDeviceName(const std::string& component) {
  static const std::array<const char*, 4> kPlain = {"con", "nul", "aux", "prn"};
  // Windows ignores what follows the first dot, and blanks before it.
  std::string base = ToLowerCopy(component.substr(0, component.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (const char* name : kPlain) {
    if (base == name) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// Shown in debug.log without raw control bytes.
std::string Printable(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[(static_cast<unsigned char>(c) >> 4) & 0xF];
      out += kHex[static_cast<unsigned char>(c) & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Refuse(const std::string& root, const std::string& relative, const char* reason) {
  LogLine("[WARN] JoinUnderRoot refused " + std::string(reason) + " root=" + Printable(root) +
          " path=" + Printable(relative));
  return std::string();
}

}  // namespace

std::string JoinUnderRoot(const std::string& root, const std::string& relative) {
  std::string base = root;
  while (!base.empty() && IsSeparator(base.back())) base.pop_back();
  if (base.empty()) return Refuse(root, relative, "an empty root");
  if (relative.size() >= 2 && IsSeparator(relative[0]) && IsSeparator(relative[1])) {
    return Refuse(root, relative, "a UNC or device path");
  }

  std::string joined = base;
  std::size_t position = 0;
  while (position <= relative.size()) {
    std::size_t end = position;
    while (end < relative.size() && !IsSeparator(relative[end])) ++end;
    const std::string component = relative.substr(position, end - position);
    position = end + 1;
    if (component.empty()) continue;
    for (char c : component) {
      if (IsForbiddenByte(c)) return Refuse(root, relative, "a forbidden byte");
    }
    if (component.back() == '.' || component.back() == ' ') {
      return Refuse(root, relative, "a dot or blank component end");
    }
    if (IsDeviceName(component)) return Refuse(root, relative, "a device name");
    joined += '\\';
    joined += component;
  }
  return joined;
}
