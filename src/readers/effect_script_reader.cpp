#include "readers/effect_script_reader.hpp"

#include <set>
#include <unordered_set>

#include "platform/platform.hpp"
#include "readers/text_lines.hpp"
#include "support/client_paths.hpp"
#include "support/stop_check.hpp"

namespace {

constexpr std::size_t kMaxTextureFiles = 1000;

// The text between the first double quote and the next one; false when there are not two.
bool FirstQuoted(const std::string& line, std::string& value) {
  const std::size_t open = line.find('"');
  if (open == std::string::npos) return false;
  const std::size_t close = line.find('"', open + 1);
  if (close == std::string::npos) return false;
  value = line.substr(open + 1, close - open - 1);
  return true;
}

}  // namespace

MseRecord ParseMseText(std::string_view text, const std::string& mseFile) {
  MseRecord record;
  record.mseFile = mseFile;
  std::set<std::string> meshes;
  std::unordered_set<std::string> texturesTaken;
  bool inTextureList = false;
  std::string quoted;

  for (const std::string_view rawLine : SplitLines(text)) {
    const std::string line = TrimCopy(std::string(rawLine));
    const std::string lowered = ToLowerCopy(line);
    if (lowered.find("meshfilename") != std::string::npos && FirstQuoted(line, quoted)) {
      std::string mesh = CleanPathValue(quoted);
      if (!mesh.empty()) meshes.insert(std::move(mesh));
    }
    if (lowered.find("list texturefiles") != std::string::npos) {
      inTextureList = true;
      continue;
    }
    if (!inTextureList) continue;
    if (line == "}") {
      inTextureList = false;
      continue;
    }
    if (!FirstQuoted(line, quoted)) continue;
    std::string texture = CleanPathValue(quoted);
    if (texture.empty() || texturesTaken.size() >= kMaxTextureFiles) continue;
    if (texturesTaken.insert(texture).second) record.textureFiles.push_back(std::move(texture));
  }

  record.meshFiles.assign(meshes.begin(), meshes.end());
  record.ok = true;
  return record;
}

MseRecord ParseMse(const std::string& path) {
  const std::string resolved = ResolveClientPath(path);
  std::string contents;
  if (!platform::ReadWholeFile(resolved, contents)) {
    MseRecord record;
    record.mseFile = path;
    record.error = "Impossibile aprire file MSE: " + resolved;
    return record;
  }
  return ParseMseText(contents, path);
}

std::vector<std::string> ReadMeshFileNames(const std::string& text) {
  std::vector<std::string> names;
  for (const std::string_view rawLine : SplitLines(text)) {
    if (StopRequested()) break;
    const std::string line = TrimCopy(std::string(rawLine));
    if (line.find("MeshFileName") == std::string::npos) continue;
    const std::size_t first = line.find('"');
    const std::size_t last = line.rfind('"');
    if (first == std::string::npos || first >= last) continue;
    std::string name = CleanPathValue(line.substr(first + 1, last - first - 1));
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}
