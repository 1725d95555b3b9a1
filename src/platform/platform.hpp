// The one door to the operating system. Everything above this layer speaks internal paths:
// backslashes, absolute when they start with a drive letter. On POSIX the whole file system is
// drive Z: (as Wine shows it); other drive letters name drives that do not exist.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Narrow strings are bytes on POSIX and UTF-8 on Windows (where bytes that are not valid UTF-8 are
// read in the ANSI code page, so names from old game data still reach their files).

// A path from outside (command line, dialog, environment) into the internal form:
// POSIX "/home/me/x" -> "Z:\home\me\x"; relative paths keep being relative, slashes become backslashes.
std::string ToInternalPath(const std::string& nativePath);
// The internal form back to what the OS takes. POSIX: "Z:\a\b" -> "/a/b"; another drive -> nullopt.
std::optional<std::string> ToNativePath(const std::string& internalPath);
// The current folder in internal form, with no trailing backslash.
std::string CurrentFolder();
// A relative internal path made absolute against the current folder; absolute paths are returned as they are.
std::string AbsoluteInternalPath(const std::string& path);
// A name (or path) from game data, which spells it in the client's ANSI code page, in the form a
// folder listing gives it, so the two can meet when both sides take it: UTF-8 stays as it is;
// other bytes are read in the ANSI code page (Windows) or as Windows-1252 (POSIX, byte by byte, so
// a name on disk holding such bytes converts alike) and given in UTF-8.
std::string NameAsListed(const std::string& name);

// The file and folder functions take internal paths; on POSIX they find names whatever their
// letter case.

constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeNormal = 0x80;
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// Names read from folder listings so far to find names whatever their letter case: the cost of
// that finding, which must grow with the names written, not with their square. Always 0 on
// Windows, whose file system does the finding itself.
std::uint64_t CaseLookupNamesRead();

// GetFileAttributesA: kInvalidAttributes when the path does not exist, and when it names something
// other than a regular file or a folder (LastError() is then NotRegularFileError()).
std::uint32_t GetFileAttributes(const std::string& path);

struct DirEntry {
  std::string name;  // as the file system spells it
  bool isDirectory = false;
  // Neither a folder nor a device, pipe or socket. A link counts as what it leads to.
  bool isRegularFile = false;
  // A symbolic link (on Windows also a junction), whatever it leads to; a dangling one is a file.
  bool isLink = false;
};
// Find-first/next over folder\pattern ('*' and '?', letter case ignored). "." and ".." are left out.
// Entries come in NTFS order: names compared with ASCII letters folded to upper case, ties by bytes.
// Returns false when the listing cannot start (missing folder, not a folder, no access).
bool ListDirectory(const std::string& folder, std::vector<DirEntry>& entries,
                   const std::string& pattern = "*");

// What tells two names of one file or folder apart from two files: device and inode on POSIX,
// volume serial and file index on Windows.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};
// Identity of the file or folder the path names, links followed; nullopt when it does not exist.
std::optional<FileIdentity> GetFileIdentity(const std::string& path);
// What the path itself is, a link not followed: a folder walk learns in one look whether a folder
// it listed is still a plain folder (not swapped for a link) and which one it is.
struct PathStatus {
  FileIdentity identity;
  bool isLink = false;  // a symbolic link, or on Windows any reparse point
  bool isDirectory = false;
};
// nullopt when nothing is there.
std::optional<PathStatus> GetPathStatus(const std::string& path);
// Size in bytes of the regular file the path names, links followed; nullopt for anything else.
std::optional<std::uint64_t> GetRegularFileSize(const std::string& path);
// The absolute internal path with every link followed and every "." and ".." gone, spelled as the
// file system spells it; nullopt when the path does not exist.
std::optional<std::string> RealPath(const std::string& path);

// SHCreateDirectoryExA: creates every missing parent.
enum class CreateFolderResult { Created, AlreadyExists, Failed };
CreateFolderResult CreateFolderWithParents(const std::string& path);
// CreateDirectoryA: one folder, the parent must exist.
bool CreateSingleFolder(const std::string& path);
// CopyFileA(from, to, FALSE): copies over an existing destination. Fails, leaving both untouched,
// when the source is no regular file or when both name the same file.
bool CopyFileOverwrite(const std::string& from, const std::string& to);
bool DeleteFile(const std::string& path);
bool RemoveEmptyFolder(const std::string& path);
// MoveFileEx with replace-existing.
bool MoveFileReplace(const std::string& from, const std::string& to);

// The long-path form of an absolute path ("\\?\C:\..." on Windows). POSIX has no such limit:
// the path comes back as it is.
std::string LongPathForm(const std::string& path);

// An open file for the streaming copy and for whole-file reads. Moves, never copies.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // The open functions take regular files only: anything else fails with NotRegularFileError().
  static File OpenForRead(const std::string& path);
  // Creates or truncates; the folder must exist.
  static File CreateForWrite(const std::string& path);
  // Opens for writing at the end, creating the file when missing; the folder must exist.
  static File OpenForAppend(const std::string& path);

  bool IsOpen() const;
  // Bytes read, 0 at the end, -1 on a read error.
  std::int64_t Read(void* buffer, std::size_t size);
  // True when every byte was written.
  bool Write(const void* data, std::size_t size);
  bool Flush();
  void Close();
  // -1 when unknown.
  std::int64_t Size() const;

 private:
  std::intptr_t handle_ = -1;
};

// Whole file into memory; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& contents);

// The calling thread's last OS error (GetLastError / errno) and its system message without trailing line
// breaks.
std::uint32_t LastError();
void SetLastError(std::uint32_t code);
std::string ErrorMessage(std::uint32_t code);
// What LastError() holds after a path was turned down for being neither a regular file nor a
// folder (a pipe, a device, a socket). Only regular files are opened, read or copied: such a path
// counts as missing, and this code lets the caller say why.
std::uint32_t NotRegularFileError();

// The folders and paths below come back in internal form.

// Per-user data folder for Vintrel with one trailing backslash, created on demand; empty on failure.
// Windows: %LOCALAPPDATA%\Vintrel\  POSIX: $XDG_STATE_HOME/Vintrel/ or $HOME/.local/state/Vintrel/
std::string UserDataFolder();
std::string ExecutablePath();
// Folder of the executable with one trailing backslash.
std::string ExecutableFolder();
// Temporary folder with one trailing backslash.
std::string TempFolder();
std::uint64_t CurrentThreadId();
std::optional<std::string> GetEnvironmentVariable(const std::string& name);
bool SetEnvironmentVariable(const std::string& name, const std::string& value);
// Removes the variable from this process's environment (and so from the children it starts).
bool UnsetEnvironmentVariable(const std::string& name);
// strftime on the local time of t.
std::string FormatLocalTime(std::time_t t, const char* format);
void SleepMilliseconds(unsigned milliseconds);

// True when standard output is a terminal (a console on Windows).
bool StandardOutputIsTerminal();
// Windows: turns on virtual-terminal processing so escape sequences show as colours. Safe to call twice.
void EnableConsoleColours();

bool OpenInShell(const std::string& pathOrAddress);
void ShowMessageBox(const std::string& title, const std::string& text);
// Starts a process that outlives this one; arguments passed as they are. It starts in
// `workingFolder` (internal path) when one is given, else in the current folder.
bool StartDetachedProcess(const std::string& executable, const std::vector<std::string>& arguments,
                          const std::string& workingFolder = std::string());
std::uint64_t CurrentProcessId();
#ifdef _WIN32
// CoInitializeEx(apartment-threaded, no OLE1 DDE) for the calling thread: its HRESULT.
long InitializeCom();
void UninitializeCom();
#endif

// One blocking HTTP(S) GET. Certificates are checked against the system's trust store. Returns the
// body; `status` is the HTTP status, 0 when no response arrived (the body is then empty). A body
// cut short keeps the status of its response.
struct HttpSettings {
  std::string userAgent;
  unsigned resolveTimeoutMs = 0;
  unsigned connectTimeoutMs = 0;
  unsigned sendTimeoutMs = 0;
  unsigned receiveTimeoutMs = 0;
};
std::string HttpGet(const std::string& url, const HttpSettings& settings, std::uint32_t& status);

struct ProgramOutput {
  bool started = false;  // false: not found, or it could not be started
  int exitCode = -1;
  std::string output;  // all it wrote to standard output
};
// Runs a program (a bare name is looked for in the search path) with its arguments handed over as
// a list, no shell in between, and waits for it to end.
ProgramOutput RunProgramForOutput(const std::string& executable, const std::vector<std::string>& arguments);

using LibraryHandle = void*;
// The name is an internal path or a bare name for the system search. Null on failure.
LibraryHandle LoadLibrary(const std::string& nameOrPath);
void* FindSymbol(LibraryHandle library, const char* name);
void FreeLibrary(LibraryHandle library);
// The file name a shared library has on this platform: "granny2" -> "granny2.dll" / "libgranny2.so".
std::string SharedLibraryFileName(const std::string& baseName);

}  // namespace platform
