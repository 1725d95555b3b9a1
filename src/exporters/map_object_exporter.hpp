// Export of one placeable map object: its .prb property file and everything it leads to (model,
// model textures, the effect scripts of same-named .pre and .mse files, their meshes and textures),
// copied into output\map_objects\<category>\<name>\.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "support/work_ranges.hpp"

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

// What one run has already copied, as source|destination keys (lower-cased): identical property
// files in several folders make the same object, whose files are copied once, and objects share
// mirror copies. Objects exported side by side first claim, in object order, the destinations they
// will write; a copy not yet made then waits for the objects before it that write the same
// destination, so every file is made, and said to be made, by the object that would have made it
// with the objects run one at a time, and a destination written twice ends as the later one left it.
class MapObjectCopies {
 public:
  void Claim(const std::vector<std::string>& destinations, std::size_t object);
  // True when `object` is to copy the file now; false when it was made before (by this object or
  // one before it).
  bool Begin(const std::string& key, const std::string& destination, std::size_t object);
  void Made(const std::string& key);
  // The object is done: the objects after it that write its destinations go on.
  void Release(std::size_t object);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::string> made_;
  ClaimTable writers_;  // by destination
};

// Every client file of the run's file index named stem + extension, any letter case, in key order.
// The index is the run's listing: the task rebuilds it at its start.
std::vector<std::string> FindFilesByStem(const std::string& stem, const std::string& extension);

// Reads one .prb and everything it leads to. Reports on standard output.
MapObject BuildMapObject(const std::string& prbPath);

// "buildings", "effects", "ambience" or "other", by the property type (exact case).
std::string CategoryFolderOf(const std::string& type);

// One file an object's export copies: a listed path (with `mirror`, also to the mirror; counted)
// or a plain copy beside the others (not counted, `line` said after the attempt).
struct MapObjectFile {
  bool plain = false;
  std::string path;    // as listed (for a listed path)
  std::string source;  // the client file; empty when not found
  std::string rel;     // below the object folder
  bool mirror = false;
  const char* tag = nullptr;
  const char* namedBy = "";
  std::string line;
};

// What exporting an object will do, decided from the data and the file index before anything is
// written: its folder below outputRoot\map_objects (empty when its name would leave its category
// folder) and its files in order.
struct MapObjectExport {
  std::string name;
  std::string prbPath;
  std::string folder;
  std::vector<MapObjectFile> files;
};

MapObjectExport PlanMapObjectExport(const MapObject& object, const std::string& outputRoot);
// The destinations the export's copies and mirror copies write.
std::vector<std::string> CopyDestinationsOf(const MapObjectExport& plan);

// Copies the object's files; true when at least one counted file was copied (or had been copied by
// an identical object this run). An object whose name would leave its category folder is refused
// with a level-1 window-log line. `object` is its place in the run, for the copies' claims.
bool ExportMapObject(const MapObjectExport& plan, MapObjectCopies& copies, std::size_t object);
