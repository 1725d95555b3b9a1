// Where the reference ("old") lists live: the folder "standard_filters" beside the executable, which
// start-up fills. Every filter reads it from there, whatever the current folder is.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.hpp"

// The executable's folder joined with "standard_filters" (no trailing backslash).
std::string DefaultReferenceFolder();

// The console line that frames each filter's load report.
extern const char* const kFilterSeparator;

// Prints the load header of the filter `label` ("MSM", "ITEM") and lists `folder` into `entries`.
// A folder that is missing or cannot be listed prints the warnings that the filter is off and gives false.
bool BeginReferenceLoad(const std::string& folder, const std::string& label,
                        std::vector<platform::DirEntry>& entries);
