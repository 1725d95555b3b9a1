// Reader of the client's item lists ("item_list.txt": number, type, icon, model per line).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One item. The reader fills vnum, type, iconPath, modelPath and rawLine; the item exporter
// completes the rest.
struct ItemEntry {
  std::int32_t vnum = 0;
  std::string type;
  std::string iconPath;
  std::string modelPath;
  std::string resolvedIcon;
  std::string resolvedModel;
  bool modelFound = false;
  std::int32_t texturesFound = 0;
  std::int32_t texturesTotal = 0;
  std::string analysisError;
  std::vector<std::string> textures;
  std::string rawLine;
  std::string sourceFile;  // the list the line came from; set by whoever knows it
  int sourceLine = 0;      // 1-based, in the text read
  bool hasEffect = false;
  std::string effectScript;
  std::vector<std::string> effectMeshes;
  std::vector<std::string> effectTextures;
  std::int32_t effectMeshesFound = 0;
  std::int32_t effectMeshesTotal = 0;
  std::int32_t effectTexturesFound = 0;
  std::int32_t effectTexturesTotal = 0;
  // Later lines with the same type, icon and model (upgrade levels), folded into this record by
  // the reader: their numbers, in list order, so their glow effects are not lost.
  std::vector<std::int32_t> foldedVnums;
  // Every distinct effect script of vnum and foldedVnums, in that order; effectScript is the first.
  std::vector<std::string> effectScripts;
};

// The items of one list text, in order, with repeats of the same type, icon and model removed
// (the first one wins and keeps the repeats' numbers in foldedVnums). Lines that do not fit are skipped.
std::vector<ItemEntry> ParseItemListText(std::string_view text);

// Same, read from a file; an unreadable file gives an empty list.
std::vector<ItemEntry> ParseItemList(const std::string& path);

// The same, also counting the lines dropped only for their type (ETC, costume, an empty type...),
// which the item task reports.
std::vector<ItemEntry> ParseItemListText(std::string_view text, std::size_t& otherCategoryLines);
std::vector<ItemEntry> ParseItemList(const std::string& path, std::size_t& otherCategoryLines);

// Every "item_list.txt" (any letter case) in root and below it, sorted, without equal neighbours.
std::vector<std::string> FindItemLists(const std::string& root);

// Trimmed, blank runs collapsed, slashes and backslashes removed; "UNKNOWN" when nothing is left.
std::string NormalizeItemType(const std::string& text);

// True for the exported categories: armor, weapon, aura and wing, in any letter case.
bool IsItemCategory(const std::string& type);
