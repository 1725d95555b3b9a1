// Race scripts (.msm): the base model and the numbered body-shape and hair groups of one race and sex.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/granny_model_info.hpp"

// One parsed group of a race script (or its base model).
struct MsmGroupRecord {
  std::string msmPath;
  std::string groupName;              // "BaseModel" or the name as written, e.g. "ShapeData05"
  std::string groupType;              // "BaseModel", "ShapeData" or "HairData"
  std::string modelPath;              // game path: folder prefix + Model value, backslashes
  std::string snippet;                // the group's own lines as written, each ended by "\n"
  std::vector<std::string> ddsFiles;  // sorted, without byte-equal duplicates
  GrannyModelInfo modelInfo;          // filled by the MSM task before export
  std::int32_t groupIndex = -1;
  int sourceLine = 0;  // 1-based line of the group's header in the script
};

// Groups larger than this are cut: a broken script must not make one snippet eat the memory.
constexpr std::size_t kMaxMsmGroupBytes = 5u * 1024u * 1024u;

// The value after `key` at the start of `line` (case-insensitive, leading blanks/tabs skipped), cleaned
// like a path; empty when the line does not carry the key. "SourceSkin" does not match "SourceSkin2".
std::string ReadKeyValue(const std::string& line, const std::string& key);
// "HairData" or "ShapeData" for a numbered group name (HairData07), else "Unknown".
std::string GroupTypeOf(const std::string& name);
// The number in a ShapeData/HairData name; 0 when it has no digit, -1 when it is not such a name or the
// number does not fit in 32 bits.
std::int32_t GroupIndexOf(const std::string& name);

// The nine standard race script names, in their fixed order.
const std::vector<std::string>& StandardMsmNames();
// Every standard race script below `clientFolder` (any letter case, any depth), numbered from 0 in the
// order of a depth-first walk.
std::map<std::int32_t, std::string> FindStandardMsmFiles(const std::string& clientFolder);

class MsmParser {
 public:
  // Records in the order they are completed. Never fails: unknown lines are ignored.
  static std::vector<MsmGroupRecord> Parse(std::string_view text, const std::string& msmPath);
  // Reads the file and parses it with `msmPath` = path; a file that cannot be read gives no records.
  static std::vector<MsmGroupRecord> ParseFile(const std::string& path);
};
