#include "support/client_paths.hpp"

#include <cctype>

#include "log/debug_log.hpp"
#include "platform/platform.hpp"
#include "support/export_journal.hpp"

namespace {

const char kGameRootPrefix[] = "d:\\ymir work\\";
constexpr std::size_t kGameRootPrefixLength = sizeof(kGameRootPrefix) - 1;

std::string WithBackslashes(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

bool IsSpaceByte(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

PathSettings& GetPathSettings() {
  static PathSettings settings{std::string(), std::string(), DefaultMirrorRoot(), std::string()};
  return settings;
}

std::string DefaultMirrorRoot() {
#ifdef _WIN32
  return "D:\\ymir work\\";
#else
  // There is no D: drive on POSIX; an empty root skips the mirror copies.
  return std::string();
#endif
}

void SetOutputRoot(const std::string& path) {
  std::string& root = GetPathSettings().outputRoot;
  root = WithBackslashes(path);
  while (!root.empty() && root.back() == '\\') root.pop_back();
}

void SetClientRoot(const std::string& path) {
  std::string root = WithBackslashes(path);
  if (!root.empty() && root.back() != '\\') root += '\\';
  GetPathSettings().clientRoot = root;
}

std::string StripGameRootPrefix(const std::string& path) {
  std::string normalised = WithBackslashes(path);
  if (normalised.size() >= kGameRootPrefixLength &&
      ToLowerCopy(normalised.substr(0, kGameRootPrefixLength)) == kGameRootPrefix) {
    return normalised.substr(kGameRootPrefixLength);
  }
  return normalised;
}

std::string ResolveClientPath(const std::string& path) {
  std::string rel = StripGameRootPrefix(path);
  if (rel.size() >= 2 && std::isalpha(static_cast<unsigned char>(rel[0])) && rel[1] == ':') return rel;
  const std::string& clientRoot = GetPathSettings().clientRoot;
  if (clientRoot.empty()) return rel;
  std::size_t first = rel.find_first_not_of('\\');
  if (first == std::string::npos) first = rel.size();
  return clientRoot + rel.substr(first);
}

std::string FileNameOf(const std::string& path) {
  const std::string normalised = WithBackslashes(path);
  const std::size_t slash = normalised.find_last_of("\\/");
  if (slash == std::string::npos) return normalised;
  return normalised.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot + 1 == path.size()) return std::string();
  return path.substr(dot);
}

std::string ToLowerCopy(std::string s) {
  // ASCII letters only, as the C locale folds them, whatever locale a library set meanwhile; and
  // without a call per byte, which was a tenth of building the file index.
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string TrimCopy(const std::string& s) {
  std::size_t begin = 0;
  std::size_t end = s.size();
  while (begin < end && IsSpaceByte(s[begin])) ++begin;
  while (end > begin && IsSpaceByte(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

std::string CleanPathValue(const std::string& s) {
  std::string value = TrimCopy(s);
  if (!value.empty() && value.front() == '"') value.erase(0, 1);
  if (!value.empty() && value.back() == '"') value.pop_back();
  return WithBackslashes(value);
}

bool FileExists(const std::string& path) {
  const std::string resolved = ResolveClientPath(path);
  const std::uint32_t attributes = platform::GetFileAttributes(resolved);
  if (attributes == platform::kInvalidAttributes &&
      platform::LastError() == platform::NotRegularFileError()) {
    // A pipe would hang the read and a device such as /dev/zero would fill the disk.
    LogLine("[WARN] Not a regular file, taken as missing: " + resolved);
  }
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeDirectory) == 0;
}

bool FolderExists(const std::string& path) {
  const std::uint32_t attributes = platform::GetFileAttributes(path);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeDirectory) != 0;
}

bool EnsureDirectory(const std::string& path) {
  // A dry run plans the folders with the files; a file in the way is still no folder.
  if (path.empty() || (PlanOnly() && !FileExists(path))) return true;
  const std::string folder = WithBackslashes(path);
  switch (platform::CreateFolderWithParents(folder)) {
    case platform::CreateFolderResult::Created:
      return true;
    case platform::CreateFolderResult::AlreadyExists: {
      // "Already exists" is also the answer when a file sits where the folder should be;
      // that is no folder, and callers would go on to write into it.
      return FolderExists(folder);
    }
    case platform::CreateFolderResult::Failed:
      break;
  }
  return false;
}
