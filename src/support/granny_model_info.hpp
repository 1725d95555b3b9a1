// What the model analyser reports about one .gr2 model. Kept apart from the analyser so that the
// records that carry it (race script groups) need not pull in the runtime loader.
#pragma once

#include <string>
#include <vector>

struct GrannyTexture {
  std::string fileName;  // as stored in the model, usually a game path
  bool exists = false;
};

struct GrannyModelInfo {
  std::string gr2Path;
  std::vector<GrannyTexture> textures;  // sorted by file name, without duplicates
  std::string error;                    // empty on success
  bool skipped = false;                 // read, but no meshes or no textures
  int meshCount = -1;                   // -1 when unknown
};
