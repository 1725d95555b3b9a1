#include "readers/property_reader.hpp"

#include <algorithm>
#include <cctype>
#include <functional>

#include "platform/platform.hpp"
#include "readers/text_lines.hpp"
#include "support/client_paths.hpp"

namespace {

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Calls onKey(key, value) for every "key value" line; the "YPRT" signature and the numeric identifier
// line are not keys. Keys are compared case-sensitively by the callers.
void ForEachProperty(std::string_view text,
                     const std::function<void(const std::string&, const std::string&)>& onKey) {
  for (const std::string_view rawLine : SplitLines(text)) {
    const std::string line = TrimCopy(std::string(rawLine));
    if (line == "YPRT" || line.empty()) continue;
    if (std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    const std::size_t keyEnd = std::find_if(line.begin(), line.end(), IsBlank) - line.begin();
    std::string value = TrimCopy(line.substr(keyEnd));
    // Only a pair of outer quotes goes: a lone quote at one end is part of the value.
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    onKey(line.substr(0, keyEnd), value);
  }
}

}  // namespace

PrbRecord ParsePrbText(std::string_view text) {
  PrbRecord record;
  ForEachProperty(text, [&record](const std::string& key, const std::string& value) {
    if (key == "buildingfile") {
      record.buildingFile = CleanPathValue(value);
    } else if (key == "propertyname") {
      record.propertyName = value;
    } else if (key == "propertytype") {
      record.propertyType = value;
    } else if (key == "shadowflag") {
      record.shadowFlag = value == "1";
    }
  });
  record.found = !record.propertyName.empty();
  if (!record.found) record.error = "PropertyName not found in PRB";
  return record;
}

PreRecord ParsePreText(std::string_view text) {
  PreRecord record;
  ForEachProperty(text, [&record](const std::string& key, const std::string& value) {
    if (key == "effectfile") {
      record.effectFile = CleanPathValue(value);
    } else if (key == "propertyname") {
      record.propertyName = value;
    } else if (key == "propertytype") {
      record.propertyType = value;
    }
  });
  record.found = !record.propertyName.empty();
  return record;
}

PrbRecord ParsePrb(const std::string& path) {
  const std::string resolved = ResolveClientPath(path);
  std::string contents;
  if (!platform::ReadWholeFile(resolved, contents)) {
    PrbRecord record;
    record.error = "Cannot open PRB: " + resolved;
    return record;
  }
  return ParsePrbText(contents);
}

PreRecord ParsePre(const std::string& path) {
  const std::string resolved = ResolveClientPath(path);
  std::string contents;
  if (!platform::ReadWholeFile(resolved, contents)) {
    PreRecord record;
    record.error = "Cannot open PRE: " + resolved;
    return record;
  }
  return ParsePreText(contents);
}
