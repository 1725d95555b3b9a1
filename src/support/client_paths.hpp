// Run roots and the small path and text helpers every reader and exporter uses.
#pragma once

#include <string>

// The process-wide run roots. Written at the start of a run and by the task driver before any
// exporter thread starts; read without a lock afterwards.
struct PathSettings {
  std::string clientRoot;       // backslashes, one trailing backslash (empty when unset)
  std::string outputRoot;       // backslashes, no trailing backslash
  std::string mirrorRoot;       // where textures and effect files are mirrored; empty: no mirror copies
  std::string referenceFolder;  // the filters' reference lists; empty: the bundled ones
};

PathSettings& GetPathSettings();

// The mirror root a fresh process starts with: "D:\ymir work\" on Windows, empty elsewhere.
std::string DefaultMirrorRoot();

void SetOutputRoot(const std::string& path);
// "/" to "\", one "\" appended when not empty and not already ending in one.
void SetClientRoot(const std::string& path);

std::string StripGameRootPrefix(const std::string& path);
std::string ResolveClientPath(const std::string& path);
std::string FileNameOf(const std::string& path);
std::string ExtensionOf(const std::string& path);
std::string ToLowerCopy(std::string s);
std::string TrimCopy(const std::string& s);
std::string CleanPathValue(const std::string& s);
bool FileExists(const std::string& path);
// True only for a folder: a file of that name does not count.
bool FolderExists(const std::string& path);
bool EnsureDirectory(const std::string& path);
