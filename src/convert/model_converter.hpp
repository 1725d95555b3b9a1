// Converts what the exports copy into open formats: a .gr2 model into a .glb, a .dds or .tga texture into
// a .png. A model's textures are found as the exporters find them (through the client file index when a
// client root is set), else beside the model.
#pragma once

#include <string>

struct ConversionResult {
  bool ok = false;
  std::string output;  // the file written
  std::string reason;  // why nothing was written
};

// The converted file's name for a source name: X.gr2 -> X.glb, X.dds / X.tga -> X.png (any letter case);
// empty for a kind that is not converted.
std::string ConvertedName(const std::string& fileName);

// Converts `source` into the file `destination` (written whole or not at all; its folder must exist).
ConversionResult ConvertFile(const std::string& source, const std::string& destination);

// ConvertFile into ConvertedName(source) beside the source.
ConversionResult ConvertBesideSource(const std::string& path);

// ConvertBesideSource in the form an export run calls after its task; false with the reason.
bool ConvertExportedFile(const std::string& path, std::string& reason);
