// Helpers shared by the Win32 implementation files; nothing outside src/platform/win32 includes this.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// <windows.h> maps these names to their A/W variants; the layer's own functions carry the plain names.
#undef DeleteFile
#undef GetFileAttributes
#undef LoadLibrary
#undef GetEnvironmentVariable
#undef SetEnvironmentVariable

// These need <windows.h> before them.
#include <shellapi.h>
#include <shlobj.h>

#include <string>

namespace platform {
namespace win32 {

// Narrow strings are UTF-8; bytes that are not valid UTF-8 are read in the ANSI code page, so
// names taken from old game data still reach the file they name.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

// The wide form handed to the file API. Paths too long for the classic limit are made absolute
// and given the "\\?\" prefix, which lifts the limit.
std::wstring ApiPath(const std::string& path);

// True for a handle on a device or a pipe ("NUL", "COM1", "\\.\pipe\x"), which the file API
// opens like a file; only files on disk are read or copied.
bool IsDeviceOrPipe(HANDLE handle);
// The same for a path, opened for its attributes only; false when it cannot be opened at all.
bool IsDeviceOrPipe(const std::string& path);

}  // namespace win32
}  // namespace platform
