#include <dlfcn.h>

#include "platform/platform.hpp"
#include "platform/posix/posix_support.hpp"

namespace platform {

LibraryHandle LoadLibrary(const std::string& nameOrPath) {
  // A bare name is looked for beside the executable first, as Windows does, then by the loader.
  if (nameOrPath.find_first_of("\\/:") == std::string::npos) {
    const std::string folder = ExecutableFolder();
    const auto besideUs = posix::ResolveNative(folder + nameOrPath);
    if (!folder.empty() && besideUs) {
      if (void* handle = dlopen(besideUs->c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    }
    return dlopen(nameOrPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  const auto native = posix::ResolveNative(nameOrPath);
  if (!native) return nullptr;
  return dlopen(native->c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindSymbol(LibraryHandle library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return dlsym(library, name);
}

void FreeLibrary(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

std::string SharedLibraryFileName(const std::string& baseName) {
#ifdef __APPLE__
  return "lib" + baseName + ".dylib";
#else
  return "lib" + baseName + ".so";
#endif
}

}  // namespace platform
