#include "readers/msm_parser.hpp"

#include <algorithm>
#include <iostream>
#include <limits>
#include <set>

#include "platform/platform.hpp"
#include "readers/text_lines.hpp"
#include "support/client_paths.hpp"
#include "support/folder_walk.hpp"

namespace {

// Scripts are bytes in any code page: only ASCII letters fold, only ASCII digits are digits.
char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiAlnum(char c) {
  const char f = FoldAscii(c);
  return IsAsciiDigit(c) || (f >= 'a' && f <= 'z');
}

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (FoldAscii(text[i]) != FoldAscii(prefix[i])) return false;
  }
  return true;
}

bool EndsWithFolded(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && StartsWithFolded(text.substr(text.size() - suffix.size()), suffix);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool AllDigits(std::string_view text) { return std::all_of(text.begin(), text.end(), IsAsciiDigit); }

std::string_view TrimView(std::string_view s) {
  // The same white space as TrimCopy (isspace in the C locale).
  const char* kSpace = " \t\n\v\f\r";
  const std::size_t first = s.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  const std::size_t last = s.find_last_not_of(kSpace);
  return s.substr(first, last - first + 1);
}

std::string ReadKeyValueView(std::string_view line, std::string_view key) {
  if (line.empty()) return {};
  const std::size_t start = line.find_first_not_of(" \t");
  const std::string_view rest = start == std::string_view::npos ? std::string_view{} : line.substr(start);
  if (!key.empty() && !StartsWithFolded(rest, key)) return {};
  if (rest.size() > key.size() && IsAsciiAlnum(rest[key.size()])) return {};
  const std::size_t value = rest.find_first_not_of(" \t", key.size());
  if (value == std::string_view::npos) return {};
  return CleanPathValue(std::string(rest.substr(value)));
}

void EnsureTrailingSeparator(std::string& folder) {
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
}

const char* const kTextureKeys[] = {"SourceSkin",  "TargetSkin",  "SourceSkin2", "TargetSkin2",
                                    "SourceSkin3", "TargetSkin3", "SourceSkin4", "TargetSkin4",
                                    "SourceSkin5", "TargetSkin5", "SourceSkin6", "TargetSkin6",
                                    "SourceSkin7", "TargetSkin7", "SourceSkin8", "TargetSkin8"};

// The state of one Parse call.
class ScriptReader {
 public:
  explicit ScriptReader(const std::string& msmPath) : msmPath_(msmPath) {}

  void ReadLine(std::string_view raw) {
    ++lineNumber_;
    const std::string_view trimmed = TrimView(raw);

    if (pending_) {
      pending_ = false;
      if (trimmed == "{") {
        OpenGroup(std::move(pendingName_), pendingHeader_, pendingLine_);
        groupLines_.push_back(raw);
        return;
      }
    }

    if (std::string v = ReadKeyValueView(raw, "BaseModelFileName"); !v.empty()) {
      EmitBaseModel(raw, std::move(v));
      return;
    }

    if (std::string v = ReadKeyValueView(raw, "PathName"); !v.empty()) {
      if (baseFolder_.empty()) baseFolder_ = v;
      currentFolder_ = std::move(v);
      EnsureTrailingSeparator(baseFolder_);
      EnsureTrailingSeparator(currentFolder_);
      if (inGroup_) groupLines_.push_back(raw);
      return;
    }

    if (inGroup_) {
      if (std::string v = ReadKeyValueView(raw, "SpecialPath"); !v.empty()) {
        specialFolder_ = std::move(v);
        EnsureTrailingSeparator(specialFolder_);
        groupLines_.push_back(raw);
        return;
      }
      // Nested groups are not tracked: the first "}" line closes the group.
      groupLines_.push_back(raw);
      if (trimmed == "}") FinishGroup();
      return;
    }

    const std::size_t at = raw.find("Group ");
    if (at == std::string_view::npos) return;
    const std::string_view afterKeyword = raw.substr(at + 6);
    const std::size_t brace = afterKeyword.find('{');
    std::string name(TrimView(afterKeyword.substr(0, brace)));
    if (name.empty() || GroupTypeOf(name) == "Unknown") return;
    if (brace != std::string_view::npos) {
      OpenGroup(std::move(name), raw, lineNumber_);
    } else {
      pending_ = true;
      pendingLine_ = lineNumber_;
      pendingName_ = std::move(name);
      pendingHeader_ = raw;
    }
  }

  std::vector<MsmGroupRecord> Finish() {
    FinishGroup();
    return std::move(records_);
  }

 private:
  void OpenGroup(std::string name, std::string_view header, int line) {
    groupName_ = std::move(name);
    groupLine_ = line;
    inGroup_ = true;
    groupLines_.push_back(header);
  }

  void EmitBaseModel(std::string_view raw, std::string value) {
    MsmGroupRecord record;
    record.msmPath = msmPath_;
    record.groupName = "BaseModel";
    record.groupType = "BaseModel";
    record.snippet.assign(raw);
    record.snippet += '\n';
    const bool bareName = value.find_first_of("\\/") == std::string::npos;
    record.modelPath = (!baseFolder_.empty() && bareName) ? baseFolder_ + value : std::move(value);
    record.groupIndex = -1;
    record.sourceLine = lineNumber_;
    records_.push_back(std::move(record));
  }

  void FinishGroup() {
    if (!inGroup_ || groupName_.empty()) return;

    MsmGroupRecord record;
    record.msmPath = msmPath_;
    record.groupName = groupName_;
    record.groupType = GroupTypeOf(groupName_);
    record.sourceLine = groupLine_;
    std::string model;
    std::size_t total = 0;
    for (const std::string_view line : groupLines_) {
      const std::string_view trimmed = TrimView(line);
      if (StartsWith(trimmed, "Group ") || trimmed == "{" || trimmed == "}") continue;
      total += line.size();
      if (total > kMaxMsmGroupBytes) {
        std::cerr << "[MsmParser WARN] Group '" << groupName_ << "' too large, truncating.\n";
        break;
      }
      record.snippet.append(line);
      record.snippet += '\n';
      if (model.empty()) model = ReadKeyValueView(line, "Model");
      for (const char* key : kTextureKeys) {
        std::string value = ReadKeyValueView(line, key);
        if (EndsWithFolded(value, ".dds")) record.ddsFiles.push_back(std::move(value));
      }
    }
    std::sort(record.ddsFiles.begin(), record.ddsFiles.end());
    record.ddsFiles.erase(std::unique(record.ddsFiles.begin(), record.ddsFiles.end()), record.ddsFiles.end());

    if (!model.empty()) {
      const std::string& prefix = !specialFolder_.empty()   ? specialFolder_
                                  : !currentFolder_.empty() ? currentFolder_
                                                            : baseFolder_;
      record.modelPath = prefix + model;
    }
    record.groupIndex = GroupIndexOf(groupName_);
    if (record.groupType != "Unknown" || !record.modelPath.empty()) records_.push_back(std::move(record));

    groupLines_.clear();
    groupName_.clear();
    inGroup_ = false;
    specialFolder_.clear();
  }

  const std::string& msmPath_;
  std::vector<MsmGroupRecord> records_;
  std::string baseFolder_;
  std::string currentFolder_;
  std::string specialFolder_;
  bool inGroup_ = false;
  std::string groupName_;
  std::vector<std::string_view> groupLines_;
  bool pending_ = false;
  int lineNumber_ = 0;
  int pendingLine_ = 0;
  int groupLine_ = 0;
  std::string pendingName_;
  std::string_view pendingHeader_;
};

}  // namespace

std::string ReadKeyValue(const std::string& line, const std::string& key) {
  return ReadKeyValueView(line, key);
}

std::string GroupTypeOf(const std::string& name) {
  if (StartsWith(name, "HairData")) {
    const std::string_view rest = std::string_view(name).substr(8);
    return (!rest.empty() && AllDigits(rest)) ? "HairData" : "Unknown";
  }
  if (StartsWith(name, "ShapeData")) {
    const std::string_view rest = std::string_view(name).substr(9);
    return (!rest.empty() && AllDigits(rest)) ? "ShapeData" : "Unknown";
  }
  return "Unknown";
}

std::int32_t GroupIndexOf(const std::string& name) {
  if (!StartsWith(name, "ShapeData") && !StartsWith(name, "HairData")) return -1;
  const auto digit = std::find_if(name.begin(), name.end(), IsAsciiDigit);
  if (digit == name.end()) return 0;
  std::int64_t value = 0;
  for (auto it = digit; it != name.end() && IsAsciiDigit(*it); ++it) {
    value = value * 10 + (*it - '0');
    if (value > std::numeric_limits<std::int32_t>::max()) return -1;
  }
  return static_cast<std::int32_t>(value);
}

const std::vector<std::string>& StandardMsmNames() {
  static const std::vector<std::string> names{"warrior_m.msm",  "warrior_w.msm", "assassin_w.msm",
                                              "assassin_m.msm", "shaman_m.msm",  "shaman_w.msm",
                                              "sura_m.msm",     "sura_w.msm",    "wolfman_m.msm"};
  return names;
}

std::map<std::int32_t, std::string> FindStandardMsmFiles(const std::string& clientFolder) {
  std::string folder = clientFolder;
  std::replace(folder.begin(), folder.end(), '/', '\\');
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();

  std::set<std::string> names;
  for (const std::string& name : StandardMsmNames()) names.insert(ToLowerCopy(name));

  std::map<std::int32_t, std::string> found;
  std::int32_t next = 0;
  FolderWalkVisitor visitor;
  visitor.onFile = [&](const std::string& path, std::string_view, const platform::DirEntry& entry) {
    if (names.count(ToLowerCopy(entry.name)) != 0) found[next++] = path;
  };
  WalkFolder(folder, visitor);
  return found;
}

std::vector<MsmGroupRecord> MsmParser::Parse(std::string_view text, const std::string& msmPath) {
  ScriptReader reader(msmPath);
  for (const std::string_view line : SplitLines(text)) reader.ReadLine(line);
  return reader.Finish();
}

std::vector<MsmGroupRecord> MsmParser::ParseFile(const std::string& path) {
  std::string contents;
  if (!platform::ReadWholeFile(path, contents)) return {};
  return Parse(contents, path);
}
