// Where the reference ("old") lists live: the folder "standard_filters" beside the executable, which
// start-up fills. Every filter reads it from there, whatever the current folder is.
#pragma once

#include <string>

// The executable's folder joined with "standard_filters" (no trailing backslash).
std::string DefaultReferenceFolder();

// True when `folder` names an existing folder (a file of that name does not count).
bool ReferenceFolderExists(const std::string& folder);

// The console line that frames each filter's load report.
extern const char* const kFilterSeparator;
