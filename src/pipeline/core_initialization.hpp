// Preparation before the first run: the reference lists and the model runtime that the executable
// carries are written beside it when missing, then the model analyser is loaded.
#pragma once

#include <cstddef>
#include <string>

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

// The front ends hand their table over at start-up; until then no resource is found.
void SetEmbeddedResources(EmbeddedResourceTable table);
const EmbeddedResource* FindEmbeddedResource(int id);

constexpr int kResourceGrannyRuntime = 201;
constexpr int kResourceFirstReferenceList = 210;
constexpr int kResourceLastReferenceList = 220;
// The file names of ids 210..220, in writing order.
const char* ReferenceListFileName(int id);
// The runtime's file name beside the executable: "Granny2.dll" on Windows, the platform's
// shared-library name elsewhere, so that the analyser's library search finds it.
std::string GrannyRuntimeFileName();

// Writes every byte of one resource to `path` (created or truncated). False when the resource is
// missing or empty, the file cannot be created or a write falls short; a partial file stays.
bool ExtractResourceToFile(int id, const std::string& path);
// Writes the resource to folder\fileName only when nothing of that name exists there.
void WriteEmbeddedIfMissing(const std::string& folder, int id, const std::string& fileName);

// The runtime and the "standard_filters" folder with its eleven lists, beside the executable in
// `executableFolder` (no trailing backslash). Existing files are never overwritten.
void WriteEmbeddedFiles(const std::string& executableFolder);

// The window's path fields from PathSettings; a bare drive root ("D:", "D:\") shows as empty.
void FillPathFields();

// The steps of start-up that need no window: "Initializing Core...", the embedded files, the
// path fields from PathSettings, the analyser, "Core Ready.". Failures are not reported here:
// later steps meet their consequences (no filter lists, no textures).
void InitializeCore();
