#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "granny2/model_file.hpp"

namespace granny2 {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Paths come as UTF-8; bytes that are not valid UTF-8 are read in the ANSI code page, as old
// game data spells its names.
std::wstring Widen(const char* text) {
  const int size = static_cast<int>(std::char_traits<char>::length(text));
  if (size == 0) return std::wstring();
  UINT codePage = CP_UTF8;
  int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, size, nullptr, 0);
  if (length <= 0) {
    codePage = CP_ACP;
    length = MultiByteToWideChar(codePage, 0, text, size, nullptr, 0);
    if (length <= 0) return std::wstring();
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text, size, wide.data(), length);
  return wide;
}

// Larger requests go down in pieces the API's 32-bit counts can carry.
constexpr std::size_t kMaxChunk = 1u << 30;

}  // namespace

ModelFile::~ModelFile() {
  if (AsHandle(handle_) != INVALID_HANDLE_VALUE) CloseHandle(AsHandle(handle_));
}

std::string ModelFile::Open(const char* nativePath) {
  const std::wstring path = Widen(nativePath);
  const HANDLE handle =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return "cannot open the file";
  // Devices and pipes ("NUL", "CON", "\\.\pipe\x") open like files.
  LARGE_INTEGER size{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size)) {
    CloseHandle(handle);
    return "not a regular file";
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  size_ = size.QuadPart;
  return std::string();
}

std::int64_t ModelFile::Read(void* buffer, std::size_t size) {
  if (AsHandle(handle_) == INVALID_HANDLE_VALUE) return -1;
  DWORD got = 0;
  const DWORD wanted = static_cast<DWORD>(size < kMaxChunk ? size : kMaxChunk);
  if (!ReadFile(AsHandle(handle_), buffer, wanted, &got, nullptr)) return -1;
  return got;
}

}  // namespace granny2
