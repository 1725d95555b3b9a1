#include "filters/reference_folder.hpp"

#include "log/console.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"

const char* const kFilterSeparator = "------------------------------------------------";

std::string ReferenceFolderIn(const std::string& programFolder, const std::string& userFolder) {
  const auto inside = [](std::string folder) {
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder + "standard_filters";
  };
  const std::string beside = inside(programFolder);
  if (FolderExists(beside) || userFolder.empty()) return beside;
  const std::string user = inside(userFolder);
  return FolderExists(user) ? user : beside;
}

std::string DefaultReferenceFolder() {
  return ReferenceFolderIn(platform::ExecutableFolder(), platform::UserDataFolder());
}

std::string ActiveReferenceFolder() {
  const std::string& chosen = GetPathSettings().referenceFolder;
  return chosen.empty() ? DefaultReferenceFolder() : chosen;
}

bool BeginReferenceLoad(const std::string& folder, const std::string& label,
                        std::vector<platform::DirEntry>& entries) {
  PrintOk(kFilterSeparator);
  PrintOk("Caricamento filtri OLD " + label + " da standard_filters...");
  entries.clear();
  if (FolderExists(folder) && platform::ListDirectory(folder, entries)) return true;
  PrintWarn("AVVISO: cartella non trovata: " + folder);
  PrintWarn("Filtro OLD " + label + " disattivato.");
  PrintOk(kFilterSeparator);
  return false;
}
