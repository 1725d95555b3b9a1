#include "platform/desktop.hpp"

namespace platform {

// The desktop's choosers are programs of their own, started by the window (zenity, kdialog).
std::optional<std::string> ShowSystemFolderDialog(const std::string&) { return std::nullopt; }

// A terminal is not this process's to show or hide.
void ShowConsoleWindow() {}

// Executables carry no icon resources here: the window sets its icon from its embedded image.
bool SetWindowIconFromResource(const std::string&, int) { return false; }

}  // namespace platform
