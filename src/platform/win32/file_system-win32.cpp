#include "platform/path_rules.hpp"
#include "platform/platform.hpp"
#include "platform/win32/win32_support.hpp"

namespace platform {
namespace {

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(win32::ApiPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Length of the part that names a drive or share and is never created: "C:\", "\\server\share\".
std::size_t RootLength(const std::string& path) {
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
    const std::size_t server = path.find('\\', 8);
    const std::size_t share = server == std::string::npos ? server : path.find('\\', server + 1);
    return share == std::string::npos ? path.size() : share + 1;
  }
  if (path.rfind("\\\\?\\", 0) == 0) return 4 + RootLength(path.substr(4));
  if (HasDriveLetter(path)) return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    const std::size_t server = path.find('\\', 2);
    const std::size_t share = server == std::string::npos ? server : path.find('\\', server + 1);
    return share == std::string::npos ? path.size() : share + 1;
  }
  return !path.empty() && path[0] == '\\' ? 1 : 0;
}

}  // namespace

std::uint32_t GetFileAttributes(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(win32::ApiPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return kInvalidAttributes;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      ((attributes & FILE_ATTRIBUTE_DEVICE) != 0 || win32::IsDeviceOrPipe(path))) {
    SetLastError(NotRegularFileError());
    return kInvalidAttributes;
  }
  return static_cast<std::uint32_t>(attributes);
}

std::optional<std::uint64_t> GetRegularFileSize(const std::string& path) {
  // One open answers it all: it follows links and refuses folders, devices and pipes.
  const File file = File::OpenForRead(path);
  const std::int64_t size = file.IsOpen() ? file.Size() : -1;
  if (size < 0) return std::nullopt;
  return static_cast<std::uint64_t>(size);
}

bool ListDirectory(const std::string& folder, std::vector<DirEntry>& entries, const std::string& pattern) {
  entries.clear();
  const std::string base = WithoutTrailingSeparators(WithBackslashes(folder));
  const std::string query = base.empty() ? std::string("*") : (base == "\\" ? base : base + "\\") + "*";
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW(win32::ApiPath(query).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    // A drive root lists nothing at all, not even ".", when it is empty.
    if (GetLastError() == ERROR_FILE_NOT_FOUND && IsFolder(base.empty() ? "." : base)) return true;
    return false;
  }
  // The pattern is applied here, not by the system, which would also match the 8.3 short names.
  do {
    const std::string name = win32::Narrow(data.cFileName);
    if (name == "." || name == ".." || !MatchesWildcard(name, pattern)) continue;
    DirEntry entry;
    entry.name = name;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // Other reparse points (cloud placeholders, deduplicated files) are the files they stand for.
    entry.isLink =
        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK || data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
    entry.isRegularFile = !entry.isDirectory && (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
    entries.push_back(std::move(entry));
  } while (FindNextFileW(find, &data));
  const DWORD error = GetLastError();
  FindClose(find);
  SortInNtfsOrder(entries);
  SetLastError(error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error);
  return true;
}

namespace {

// An open handle on what the path names, links followed; folders open too.
HANDLE OpenForQuery(const std::string& path) {
  return CreateFileW(win32::ApiPath(path).c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

std::optional<FileIdentity> GetFileIdentity(const std::string& path) {
  const HANDLE handle = OpenForQuery(path);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!ok) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::optional<PathStatus> GetPathStatus(const std::string& path) {
  const HANDLE handle =
      CreateFileW(win32::ApiPath(path).c_str(), FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!ok) return std::nullopt;
  PathStatus status;
  const std::uint64_t index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  status.identity = FileIdentity{info.dwVolumeSerialNumber, index};
  status.isLink = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  status.isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return status;
}

std::optional<std::string> RealPath(const std::string& path) {
  const HANDLE handle = OpenForQuery(path);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  CloseHandle(handle);
  if (length == 0 || length >= buffer.size()) return std::nullopt;
  buffer.resize(length);
  std::string result = win32::Narrow(buffer);
  // The answer always carries the long-path prefix; the internal form does not.
  if (result.rfind("\\\\?\\UNC\\", 0) == 0) {
    result = "\\\\" + result.substr(8);
  } else if (result.rfind("\\\\?\\", 0) == 0) {
    result = result.substr(4);
  }
  return result;
}

CreateFolderResult CreateFolderWithParents(const std::string& path) {
  const std::string target = WithoutTrailingSeparators(WithBackslashes(path));
  if (target.empty()) {
    SetLastError(ERROR_BAD_PATHNAME);
    return CreateFolderResult::Failed;
  }
  const DWORD attributes = GetFileAttributesW(win32::ApiPath(target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    SetLastError(folder ? ERROR_ALREADY_EXISTS : ERROR_FILE_EXISTS);
    return folder ? CreateFolderResult::AlreadyExists : CreateFolderResult::Failed;
  }
  bool createdLast = false;
  std::size_t position = RootLength(target);
  while (position <= target.size()) {
    std::size_t slash = target.find('\\', position);
    if (slash == std::string::npos) slash = target.size();
    const std::string prefix = target.substr(0, slash);
    position = slash + 1;
    if (prefix.empty() || prefix.back() == '\\') continue;
    if (CreateDirectoryW(win32::ApiPath(prefix).c_str(), nullptr)) {
      createdLast = true;
      continue;
    }
    const DWORD error = GetLastError();
    createdLast = false;
    if ((error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) && IsFolder(prefix)) continue;
    SetLastError(error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : error);
    return CreateFolderResult::Failed;
  }
  if (createdLast) {
    SetLastError(ERROR_SUCCESS);
    return CreateFolderResult::Created;
  }
  // Another thread made the last folder between the first look and the creation.
  SetLastError(ERROR_ALREADY_EXISTS);
  return CreateFolderResult::AlreadyExists;
}

bool CreateSingleFolder(const std::string& path) {
  return CreateDirectoryW(win32::ApiPath(path).c_str(), nullptr) != 0;
}

bool CopyFileOverwrite(const std::string& from, const std::string& to) {
  // CopyFile reads a device or a pipe as a file, and /dev/zero under Wine would never end.
  if (win32::IsDeviceOrPipe(from)) {
    SetLastError(NotRegularFileError());
    return false;
  }
  const std::optional<FileIdentity> source = GetFileIdentity(from);
  if (source && source == GetFileIdentity(to)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return false;
  }
  return CopyFileW(win32::ApiPath(from).c_str(), win32::ApiPath(to).c_str(), FALSE) != 0;
}

bool DeleteFile(const std::string& path) { return DeleteFileW(win32::ApiPath(path).c_str()) != 0; }

bool RemoveEmptyFolder(const std::string& path) {
  return RemoveDirectoryW(win32::ApiPath(path).c_str()) != 0;
}

bool MoveFileReplace(const std::string& from, const std::string& to) {
  return MoveFileExW(win32::ApiPath(from).c_str(), win32::ApiPath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

}  // namespace platform
