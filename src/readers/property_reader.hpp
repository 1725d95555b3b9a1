// Readers of the map objects' property files: ".prb" names a building model, ".pre" an effect script.
#pragma once

#include <string>
#include <string_view>

struct PrbRecord {
  std::string propertyName;
  std::string propertyType;
  std::string buildingFile;  // game path with backslashes
  bool shadowFlag = false;
  bool found = false;
  std::string error;
};

struct PreRecord {
  std::string propertyName;
  std::string propertyType;
  std::string effectFile;  // game path of an ".mse" script, backslashes
  bool found = false;
  std::string error;
};

// The path is a game path, a path relative to the client folder or an absolute path.
PrbRecord ParsePrb(const std::string& path);
PreRecord ParsePre(const std::string& path);

// The same readers over text already in memory.
PrbRecord ParsePrbText(std::string_view text);
PreRecord ParsePreText(std::string_view text);
