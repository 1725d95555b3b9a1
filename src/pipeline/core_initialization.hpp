// Preparation before the first run: the reference lists and the model runtime that the executable
// carries are written beside it (or in the per-user folder) when missing, then the model analyser
// is loaded.
#pragma once

#include <cstddef>
#include <string>

#include "support/file_operations.hpp"

// One file carried inside the executable (generated at build time by cmake/embed_resources.cmake).
struct EmbeddedResource {
  int id;
  const char* name;
  const unsigned char* data;
  std::size_t size;
};

struct EmbeddedResourceTable {
  const EmbeddedResource* entries = nullptr;
  std::size_t count = 0;
};

// The executables' generated table (library vintrel_resources); unit tests do not link it.
EmbeddedResourceTable VintrelEmbeddedResources();

// The executables' images (library vintrel_images, the window only): ids 101, 200 and 301..303.
EmbeddedResourceTable VintrelEmbeddedImages();

// The front ends hand their table over at start-up; until then no resource is found.
void SetEmbeddedResources(EmbeddedResourceTable table);
// One more table, searched after those already handed over (the window's images).
void AddEmbeddedResources(EmbeddedResourceTable table);
const EmbeddedResource* FindEmbeddedResource(int id);

constexpr int kResourceLogo = 101;
constexpr int kResourceWindowIcon = 200;
constexpr int kResourceWebButton = 301;
constexpr int kResourceCommunityButton = 302;
constexpr int kResourceInfoButton = 303;
constexpr int kResourceGrannyRuntime = 201;
constexpr int kResourceFirstReferenceList = 210;
constexpr int kResourceLastReferenceList = 220;
// The file names of ids 210..220, in writing order.
const char* ReferenceListFileName(int id);
// The runtime's file name beside the executable: "Granny2.dll" on Windows, the platform's
// shared-library name elsewhere, so that the analyser's library search finds it.
std::string GrannyRuntimeFileName();

// Writes every byte of one resource to `path` through a temporary file beside it, renamed into place
// when complete. False when the resource is missing or empty or the file cannot be written; then
// nothing new is left under either name.
bool ExtractResourceToFile(int id, const std::string& path, const DiskInterface& disk = RealDiskInterface());
// True when the file at `path` has exactly the bytes of resource `id`.
bool FileHoldsResource(const std::string& path, int id);
// Writes the resource to folder\fileName when nothing of that name exists there, or only an empty
// file (what a start on a full disk left).
void WriteEmbeddedIfMissing(const std::string& folder, int id, const std::string& fileName);

// Where start-up put the embedded files.
struct EmbeddedFilePlaces {
  std::string runtimePath;      // a runtime with the carried bytes; empty when none could be written
  std::string referenceFolder;  // the "standard_filters" folder that holds the lists
  bool inUserFolder = false;    // the program folder could not take the runtime or the lists
};

// The runtime and the "standard_filters" folder with its eleven lists, beside the executable in
// `executableFolder` (no trailing backslash). The runtime is ours: a copy whose bytes differ is
// replaced. The lists are the user's: an existing one is never overwritten. What the program folder
// cannot take goes to `userFolder` (the per-user folder; empty: nowhere).
EmbeddedFilePlaces WriteEmbeddedFiles(const std::string& executableFolder, const std::string& userFolder);

// The window's path fields from PathSettings; a bare drive root ("D:", "D:\") shows as empty.
void FillPathFields();

// The steps of start-up that need no window: "Initializing Core...", the embedded files (with one
// warning line when they had to go to the per-user folder), the path fields from PathSettings, the
// analyser, "Core Ready.". Other failures are not reported here: later steps meet their
// consequences (no filter lists, no textures).
void InitializeCore();
