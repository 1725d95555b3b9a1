// Destinations built from game data, which strangers write: a relative path taken from a data
// file must never lead a write outside the folder it is meant for.
#pragma once

#include <string>

// root + "\" + relative, with "/" read as "\", one leading separator and repeated separators
// ignored. Empty, with a "[WARN]" line in debug.log, when the result could land outside root:
//  - a ".." or "." component, or one ending in a dot or a blank (Windows drops those, so
//    "..." and ".. " would climb like "..");
//  - a drive or stream colon ("C:x", "name:stream"), a UNC or device start ("\\server", "\\?\");
//  - NUL and other control bytes, wildcards and the other bytes Windows forbids in names (<>"|?*);
//  - a DOS device name as a component (CON, NUL, AUX, PRN, COM1-9, LPT1-9, with any extension);
//  - an empty root.
// An empty relative path gives the root itself.
std::string JoinUnderRoot(const std::string& root, const std::string& relative);
