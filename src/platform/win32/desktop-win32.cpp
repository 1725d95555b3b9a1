#include "platform/desktop.hpp"
#include "platform/win32/win32_support.hpp"

// After <windows.h>.
#include <shobjidl.h>

namespace platform {
namespace {

// The dialog's choice, or nullopt when it could not be made at all.
std::optional<std::string> RunFolderDialog(const std::string& startFolder) {
  IFileDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileDialog,
                              reinterpret_cast<void**>(&dialog)))) {
    return std::nullopt;
  }
  FILEOPENDIALOGOPTIONS options = 0;
  if (SUCCEEDED(dialog->GetOptions(&options)))
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  IShellItem* start = nullptr;
  if (!startFolder.empty() &&
      SUCCEEDED(SHCreateItemFromParsingName(win32::Widen(startFolder).c_str(), nullptr, IID_IShellItem,
                                            reinterpret_cast<void**>(&start)))) {
    dialog->SetFolder(start);
    start->Release();
  }
  std::string chosen;
  IShellItem* result = nullptr;
  if (SUCCEEDED(dialog->Show(nullptr)) && SUCCEEDED(dialog->GetResult(&result))) {
    PWSTR path = nullptr;
    if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
      chosen = win32::Narrow(path);
      CoTaskMemFree(path);
    }
    result->Release();
  }
  dialog->Release();
  return chosen;
}

}  // namespace

std::optional<std::string> ShowSystemFolderDialog(const std::string& startFolder) {
  // Only a successful initialisation is undone: a thread already in another apartment keeps it.
  const HRESULT initialised = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::optional<std::string> chosen = RunFolderDialog(startFolder);
  if (SUCCEEDED(initialised)) CoUninitialize();
  return chosen;
}

void ShowConsoleWindow() {
  const HWND console = GetConsoleWindow();
  if (console != nullptr) ShowWindow(console, SW_SHOWNORMAL);
}

bool SetWindowIconFromResource(const std::string& windowTitle, int resourceId) {
  const HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId));
  if (icon == nullptr) return false;
  const HWND window = FindWindowW(nullptr, win32::Widen(windowTitle).c_str());
  if (window == nullptr) return false;
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  return true;
}

}  // namespace platform
