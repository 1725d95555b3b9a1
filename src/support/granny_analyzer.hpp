// Lists the textures a .gr2 model references, through the Granny runtime loaded at run time.
#pragma once

#include <functional>
#include <string>

#include "support/granny_model_info.hpp"

class GrannyAnalyzer {
 public:
  // Loads the runtime once: granny2.dll by the system search (executable's folder first) on Windows,
  // elsewhere the platform's file name from the executable's folder; then from the per-user folder,
  // and last (not on Windows) by the system search.
  static void Initialize();
  // The same with the runtime taken from this library file (an internal path); an empty path loads
  // nothing and reports the runtime missing.
  static void Initialize(const std::string& libraryPath);
  static GrannyModelInfo Analyze(const std::string& gr2Path);
  // Unloads the runtime; later calls of Analyze report it missing until Initialize runs again.
  static void Shutdown();
  static bool IsInitialized();
};

// Looks up one runtime entry point under its plain name, the name with "4" appended and the
// decorated __stdcall name ("_" + name + "@4"), in this order; null when none is found.
void* FindGrannyFunction(const std::function<void*(const char*)>& lookup, const std::string& baseName);
