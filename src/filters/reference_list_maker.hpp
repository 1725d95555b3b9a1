// Reference lists made from any base client, so that "standard content" can mean the client a
// server or a mod starts from rather than the one the bundled lists describe.
#pragma once

#include <string>
#include <vector>

struct ReferenceListCounts {
  int raceScripts = 0;  // "*old.msm" files written
  int itemLists = 0;    // item lists merged
  int itemLines = 0;    // distinct lines of the merged item list
  int npcLists = 0;
  int npcLines = 0;
  int prbFiles = 0;       // property files read
  int propertyNames = 0;  // distinct property names (letter case ignored)
};

struct ReferenceListResult {
  bool ok = false;
  std::string error;                 // why nothing (or not everything) was written
  std::vector<std::string> written;  // file names, in the order written
  ReferenceListCounts counts;
};

// The file that lists the property names of a base client's .prb files, one per line.
extern const char* const kPropertyOldListName;

// Writes into `outputFolder` (internal path, created when missing) the reference files the three
// filters read, built from `baseClient`: one "<race>_old.msm" per race script found (further
// scripts of one race as "<race>_<n>_old.msm"), "item_list_old.txt" and "npclist_old.txt" (each
// the merge of the client's lists), "property_old.txt" and "README.txt". Refuses an output folder
// that is the base client or lies inside it, and any existing file that an earlier run did not
// write (their names are kept in README.txt) unless `force`. Files of an earlier run that this one
// does not write again are removed, as the filters would read them.
ReferenceListResult MakeReferenceLists(const std::string& baseClient, const std::string& outputFolder,
                                       bool force);

// The property names a reference folder lists, lower-cased; empty when it has no such file.
std::vector<std::string> ReadPropertyOldList(const std::string& referenceFolder);
