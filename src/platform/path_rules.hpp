// Pure rules shared by the POSIX and Win32 implementations: no OS calls here.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace platform {

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
inline char FoldToUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// "X:" at the start, whatever follows.
bool HasDriveLetter(const std::string& path);
// Drive letter or a UNC "\\server" start: the path does not depend on the current folder.
bool IsAbsoluteInternal(const std::string& path);
std::string WithBackslashes(std::string path);
std::string WithTrailingBackslash(std::string path);
// Drops trailing separators but keeps a lone root ("\" or "/").
std::string WithoutTrailingSeparators(std::string path);

// '*' any run, '?' one byte, ASCII letter case ignored. "*.*" matches every name, as on Windows.
bool MatchesWildcard(const std::string& name, const std::string& pattern);
// The NTFS listing order: ASCII letters folded to upper case, ties broken by the raw bytes.
bool NtfsOrderLess(const std::string& a, const std::string& b);
void SortInNtfsOrder(std::vector<DirEntry>& entries);

}  // namespace platform
