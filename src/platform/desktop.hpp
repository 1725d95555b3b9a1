// The desktop pieces of the window that only Windows has: the shell's folder dialog, the console
// window and the executable's icon. Elsewhere they report that there is nothing there, and the
// window uses its own ways.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The shell's folder dialog, modal, on the calling thread. The chosen folder in native form
// (UTF-8), empty text when the user cancelled or the dialog failed; nullopt when the system has no
// such dialog (POSIX, or the shell could not create it).
std::optional<std::string> ShowSystemFolderDialog(const std::string& startFolder);

// Shows the console window this process was started with, if it has one.
void ShowConsoleWindow();

// Gives the top-level window titled `windowTitle` the icon resource `resourceId` of the executable,
// big and small. False when there is no such resource or window (always on POSIX).
bool SetWindowIconFromResource(const std::string& windowTitle, int resourceId);

}  // namespace platform
