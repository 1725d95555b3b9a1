// Where the reference ("old") lists live: the folder "standard_filters" beside the executable, which
// start-up fills, or the per-user one when the program folder is read-only. Every filter reads it
// from there, whatever the current folder is.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.hpp"

// `programFolder`\standard_filters when it is a folder, else `userFolder`\standard_filters when that
// one is, else the first (no trailing backslash): the same choice start-up makes when it writes them.
std::string ReferenceFolderIn(const std::string& programFolder, const std::string& userFolder);
// ReferenceFolderIn of the executable's folder and the per-user folder.
std::string DefaultReferenceFolder();

// The folder this run's filters read: PathSettings::referenceFolder when set (lists made from the
// user's own base client), else DefaultReferenceFolder().
std::string ActiveReferenceFolder();

// The console line that frames each filter's load report.
extern const char* const kFilterSeparator;

// Prints the load header of the filter `label` ("MSM", "ITEM") and lists `folder` into `entries`.
// A folder that is missing or cannot be listed prints the warnings that the filter is off and gives false.
bool BeginReferenceLoad(const std::string& folder, const std::string& label,
                        std::vector<platform::DirEntry>& entries);
