#include <cstring>

#include "platform/path_rules.hpp"
#include "platform/platform.hpp"
#include "platform/win32/win32_support.hpp"

namespace platform {

LibraryHandle LoadLibrary(const std::string& nameOrPath) {
  return reinterpret_cast<LibraryHandle>(LoadLibraryW(win32::Widen(WithBackslashes(nameOrPath)).c_str()));
}

void* FindSymbol(LibraryHandle library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  const FARPROC address = GetProcAddress(static_cast<HMODULE>(library), name);
  // A function address held as a data pointer, as dlsym hands it out.
  void* result = nullptr;
  static_assert(sizeof result == sizeof address, "function and data pointers differ in size");
  std::memcpy(&result, &address, sizeof result);
  return result;
}

void FreeLibrary(LibraryHandle library) {
  if (library != nullptr) ::FreeLibrary(static_cast<HMODULE>(library));
}

std::string SharedLibraryFileName(const std::string& baseName) { return baseName + ".dll"; }

}  // namespace platform
