// Export of items: each item's model, icon, model textures and glow effects, copied into
// <output>\<type>\[<vnum>]\ together with its line of the item list.
#pragma once

#include <string>
#include <vector>

#include "readers/item_list_reader.hpp"

// The not-found value of resolvedModel and resolvedIcon.
extern const char* const kItemNotFound;

// Analyses and exports every item on a pool of worker threads while a console bar shows progress;
// returns when all are finished or the run is stopped. Never throws for one item's failure.
void ProcessItems(std::vector<ItemEntry>& items);

// Fills in what was found for the item: model, icon, the model's textures and the effect files of
// every glow effect of its number and of the numbers folded into it.
void AnalyzeItem(ItemEntry& item);

// Copies what AnalyzeItem found below PathSettings::outputRoot\<type>\[<vnum>], model textures also
// to the mirror root. An item with nothing found gets no folder; a type that would lead out of the
// output root is refused with a warning.
void ExportItem(const ItemEntry& item);

// Where ExportItem puts the item, below PathSettings::outputRoot: <type>\[<vnum>].
std::string ItemFolderRel(const ItemEntry& item);

// The client file a game reference names; empty when nothing is found.
std::string ResolveGameAsset(const std::string& reference);
