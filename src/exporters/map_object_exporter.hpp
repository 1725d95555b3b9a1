// Export of one placeable map object: its .prb property file and everything it leads to (model,
// model textures, the effect scripts of same-named .pre and .mse files, their meshes and textures),
// copied into output\map_objects\<category>\<name>\.
#pragma once

#include <set>
#include <string>
#include <vector>

// Paths in the lists are game paths as the data writes them, or absolute paths of client files
// (effect scripts found by name, meshes and textures found beside their script); an absolute one is
// copied to its place relative to the client root.
struct MapObject {
  std::string name;
  std::string type;
  std::string gr2Path;
  std::vector<std::string> gr2Textures;
  std::vector<std::string> effectFiles;
  std::vector<std::string> meshFiles;
  std::vector<std::string> effectTextures;
  bool shadowFlag = false;
  std::string prbPath;
  std::string prePath;
  bool valid = false;
  std::string error;
};

// What one run has already copied, as source|destination pairs (lower-cased): identical property
// files in several folders make the same object, whose files are copied once.
struct MapObjectCopies {
  std::set<std::string> made;
};

// Every client file of the run's file index named stem + extension, any letter case, in key order.
// The index is the run's listing: the task rebuilds it at its start.
std::vector<std::string> FindFilesByStem(const std::string& stem, const std::string& extension);

// Reads one .prb and everything it leads to. Reports on standard output.
MapObject BuildMapObject(const std::string& prbPath);

// "buildings", "effects", "ambience" or "other", by the property type (exact case).
std::string CategoryFolderOf(const std::string& type);

// Copies the object's files below outputRoot\map_objects; true when at least one counted file was
// copied (or had been copied by an identical object this run). An object whose name would leave its
// category folder is refused with a level-1 window-log line.
bool ExportMapObject(const MapObject& object, const std::string& outputRoot, MapObjectCopies& copies);
