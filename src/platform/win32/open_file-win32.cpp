#include <utility>

#include "platform/platform.hpp"
#include "platform/win32/win32_support.hpp"

namespace platform {
namespace win32 {

bool IsDeviceOrPipe(HANDLE handle) { return GetFileType(handle) != FILE_TYPE_DISK; }

bool IsDeviceOrPipe(const std::string& path) {
  const HANDLE handle = CreateFileW(ApiPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool special = IsDeviceOrPipe(handle);
  CloseHandle(handle);
  return special;
}

}  // namespace win32

namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::intptr_t OpenHandle(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  const HANDLE handle = CreateFileW(win32::ApiPath(path).c_str(), access, share, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE && win32::IsDeviceOrPipe(handle)) {
    CloseHandle(handle);
    SetLastError(NotRegularFileError());
    return reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
  }
  return reinterpret_cast<std::intptr_t>(handle);
}

// Large requests go down in pieces the API's 32-bit counts can carry.
constexpr std::size_t kMaxChunk = 1u << 30;

}  // namespace

File File::OpenForRead(const std::string& path) {
  File file;
  file.handle_ =
      OpenHandle(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  return file;
}

File File::CreateForWrite(const std::string& path) {
  File file;
  file.handle_ = OpenHandle(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
  return file;
}

File File::OpenForAppend(const std::string& path) {
  File file;
  // Append-only access makes every write land at the end, even with another writer on the file.
  file.handle_ = OpenHandle(path, FILE_APPEND_DATA | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_ALWAYS);
  return file;
}

bool File::IsOpen() const { return AsHandle(handle_) != INVALID_HANDLE_VALUE; }

std::int64_t File::Read(void* buffer, std::size_t size) {
  if (!IsOpen()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  DWORD got = 0;
  const DWORD wanted = static_cast<DWORD>(size < kMaxChunk ? size : kMaxChunk);
  if (!ReadFile(AsHandle(handle_), buffer, wanted, &got, nullptr)) return -1;
  return got;
}

bool File::Write(const void* data, std::size_t size) {
  if (!IsOpen()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(size < kMaxChunk ? size : kMaxChunk);
    if (!WriteFile(AsHandle(handle_), bytes, chunk, &put, nullptr)) return false;
    if (put == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    bytes += put;
    size -= put;
  }
  return true;
}

bool File::Flush() {
  if (!IsOpen()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return FlushFileBuffers(AsHandle(handle_)) != 0;
}

void File::Close() {
  if (IsOpen()) CloseHandle(AsHandle(std::exchange(handle_, -1)));
}

std::int64_t File::Size() const {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(AsHandle(handle_), &size)) return -1;
  return size.QuadPart;
}

}  // namespace platform
