#include "support/link_guard.hpp"

#include <optional>

#include "log/debug_log.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"

bool RealPathWithin(const std::string& realPath, const std::string& realRoot) {
  std::string root = realRoot;
  while (!root.empty() && root.back() == '\\') root.pop_back();
  if (root.empty() || realPath.compare(0, root.size(), root) != 0) return false;
  return realPath.size() == root.size() || realPath[root.size()] == '\\';
}

bool ResolvesInside(const std::string& path, const std::string& root) {
  const std::optional<std::string> realRoot = platform::RealPath(root);
  if (!realRoot) return false;
  const std::optional<std::string> realPath = platform::RealPath(path);
  return realPath && RealPathWithin(*realPath, *realRoot);
}

bool InsideClientRoot(const std::string& path) {
  const std::string& clientRoot = GetPathSettings().clientRoot;
  if (clientRoot.empty()) return true;
  const std::optional<std::string> realPath = platform::RealPath(path);
  // A missing file gets no warning here: the caller reports it as not found.
  if (!realPath) return false;
  const std::optional<std::string> realRoot = platform::RealPath(clientRoot);
  if (realRoot && RealPathWithin(*realPath, *realRoot)) return true;
  LogLine("[WARN] Refused file outside the client: " + path + " -> " + *realPath);
  return false;
}
