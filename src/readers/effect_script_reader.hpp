// Reader of effect scripts (".mse"): the meshes and textures an effect uses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct MseRecord {
  std::string mseFile;                    // the path as the caller gave it
  std::vector<std::string> meshFiles;     // distinct, sorted by bytes
  std::vector<std::string> textureFiles;  // distinct, in order of first appearance, at most 1000
  bool ok = false;
  std::string error;
};

// The path is a game path, a path relative to the client folder or an absolute path.
MseRecord ParseMse(const std::string& path);

// The same reader over a script already in memory; mseFile is stored as given.
MseRecord ParseMseText(std::string_view text, const std::string& mseFile);

// The quoted value of every line holding "MeshFileName" (letter case as written), in order, repeats
// kept. Stops early when the run is being stopped.
std::vector<std::string> ReadMeshFileNames(const std::string& text);
