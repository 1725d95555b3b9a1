#include "filters/old_npc_filter.hpp"

#include <string_view>

#include "log/console.hpp"
#include "platform/platform.hpp"
#include "readers/reader_common.hpp"
#include "readers/text_lines.hpp"
#include "support/client_paths.hpp"

namespace {

std::string VariantKey(const NpcEntry& entry) {
  return ToLowerCopy(TrimCopy(entry.folderName)) + "\t" + ToLowerCopy(TrimCopy(entry.variantName));
}

}  // namespace

bool OldNpcFilter::IsOld(const NpcEntry& entry) const {
  return entry.id == 0 ? oldVariants.count(VariantKey(entry)) != 0 : IsOld(entry.id);
}

OldNpcFilter& OldNpcFilter::Instance() {
  static OldNpcFilter instance;
  return instance;
}

void OldNpcFilter::LoadOldNpcs(const std::string& referenceFolder) {
  oldNpcVnums.clear();
  oldVariants.clear();

  std::string contents;
  if (!platform::ReadWholeFile(referenceFolder + "\\npclist_old.txt", contents)) {
    PrintWarn("File npclist_old.txt non trovato in standard_filters/");
    PrintWarn("Filtro OLD disattivato per NPC.");
    return;
  }

  int linesLoaded = 0;
  int linesRejected = 0;
  for (const std::string_view rawLine : SplitLines(contents)) {
    const std::string line = TrimCopy(std::string(rawLine));
    if (line.empty() || line[0] == '#') continue;
    const std::string field = TrimCopy(line.substr(0, line.find('\t')));
    std::int32_t vnum = 0;
    // One bad reference line must not switch the whole filter off.
    if (!ReadLeadingInt32(field, vnum)) {
      ++linesRejected;
      continue;
    }
    oldNpcVnums.insert(vnum);
    if (vnum == 0) {
      for (const NpcEntry& variant : ParseNpcListText(line)) oldVariants.insert(VariantKey(variant));
    }
    ++linesLoaded;
  }

  if (linesRejected > 0) {
    PrintWarn("npclist_old.txt: righe senza numero valido ignorate: " + std::to_string(linesRejected));
  }
  PrintOk("Filtro OLD NPC caricato: " + std::to_string(linesLoaded) + " vnum");
}
