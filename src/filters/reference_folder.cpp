#include "filters/reference_folder.hpp"

#include "log/console.hpp"
#include "platform/platform.hpp"

namespace {

// A file named like the folder does not count.
bool ReferenceFolderExists(const std::string& folder) {
  const std::uint32_t attributes = platform::GetFileAttributes(folder);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeDirectory) != 0;
}

}  // namespace

const char* const kFilterSeparator = "------------------------------------------------";

std::string DefaultReferenceFolder() {
  std::string folder = platform::ExecutableFolder();
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder + "standard_filters";
}

bool BeginReferenceLoad(const std::string& folder, const std::string& label,
                        std::vector<platform::DirEntry>& entries) {
  PrintOk(kFilterSeparator);
  PrintOk("Caricamento filtri OLD " + label + " da standard_filters...");
  entries.clear();
  if (ReferenceFolderExists(folder) && platform::ListDirectory(folder, entries)) return true;
  PrintWarn("AVVISO: cartella non trovata: " + folder);
  PrintWarn("Filtro OLD " + label + " disattivato.");
  PrintOk(kFilterSeparator);
  return false;
}
