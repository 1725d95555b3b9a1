// Folder creation, text writes and file copies that retry, fall back to other copy methods,
// serialise copies touching the same file and cap the copies running at once. Every step is
// logged to debug.log; nothing throws to the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/platform.hpp"

// The OS operations the copies and writes go through. Tests hand in one that fails on purpose;
// everyone else uses RealDiskInterface().
struct DiskInterface {
  bool (*copyFile)(const std::string& from, const std::string& to);  // overwrites
  std::string (*longPathForm)(const std::string& path);              // empty when not convertible
  platform::File (*openForRead)(const std::string& path);
  platform::File (*createForWrite)(const std::string& path);
  std::int64_t (*read)(platform::File& file, void* buffer, std::size_t size);  // -1 on error
  bool (*write)(platform::File& file, const void* data, std::size_t size);
  bool (*deleteFile)(const std::string& path);
  std::uint32_t (*lastError)();
  void (*sleepMilliseconds)(unsigned milliseconds);
  bool (*moveFile)(const std::string& from, const std::string& to);  // replaces an existing `to`
};

const DiskInterface& RealDiskInterface();

// True when the folder exists afterwards; an empty path counts as existing.
bool CreateRecursiveDirectory(const std::string& path, const DiskInterface& disk = RealDiskInterface());

// Writes `content` with every "\n" as CR LF (as Windows text mode does, on every platform), after
// creating the parent folders. A failed write counts as a failed attempt. Written to a temporary
// name and renamed as WriteFileAtomically does, so the file is never seen half-written, but not
// forced onto the disk before the rename.
bool WriteFile(const std::string& path, const std::string& content,
               const DiskInterface& disk = RealDiskInterface());

// Writes `bytes` as they are to a temporary name beside `path` (the folder must exist), flushes,
// then renames it over `path`: afterwards the file is either what it was or all of `bytes`, and
// no temporary file is left behind. One try, no log lines.
bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         const DiskInterface& disk = RealDiskInterface());

// Three passes of FileCopyWithRetries with one attempt each, 40/80/120 ms apart.
bool TryCopyFile(const std::string& src, const std::string& dst,
                 const DiskInterface& disk = RealDiskInterface());

// Up to `attempts` attempts, each trying the plain copy, the long-path copy and the streaming copy
// in that order, with waits of 50, 100, 150, ... ms after failed attempts. Every method writes to a
// temporary name beside the destination, renamed over it only when complete; a failed or stopped
// copy leaves the destination as it was. A copy whose source and destination are the same file
// (by the file system's identity, whatever the spelling) succeeds without touching it. A source
// that is no regular file (a pipe, a device) fails at once.
bool FileCopyWithRetries(const std::string& src, const std::string& dst, std::int32_t attempts,
                         const DiskInterface& disk = RealDiskInterface());

// Copies every file below srcDir into dstDir (4 attempts each), creating folders; goes on after a
// failure and returns true only when every file was copied. Links are followed only inside the
// client root (inside srcDir when it is not in the client); the others are skipped with a warning.
// A stop ends it early, returning false.
bool CopyDirectoryRecursive(const std::string& srcDir, const std::string& dstDir,
                            const DiskInterface& disk = RealDiskInterface());

// How far the links met by a whole-folder copy may lead.
enum class LinkScope {
  Client,  // anywhere in the client root, as CopyDirectoryRecursive above
  Folder,  // only inside srcDir: a folder copied whole must not pull in other folders
};

// CopyDirectoryRecursive with the links it follows bounded by `scope`. With LinkScope::Folder each
// link (symbolic link, junction) leading out of srcDir is skipped with one "[WARN]" line.
bool CopyDirectoryRecursive(const std::string& srcDir, const std::string& dstDir, LinkScope scope,
                            const DiskInterface& disk = RealDiskInterface());

// The key under which a path is locked: "/" turned into "\", every byte lower-cased.
std::string PathLockKey(const std::string& path);
// The process-wide mutex for a key, created on first use and kept for the life of the process.
std::shared_ptr<std::mutex> GetPathLock(const std::string& key);

// How many copies may be inside the copy methods at once: min(hardware threads or 2, 4).
int CopySlotLimit();

// The system's text for an error code; empty for 0, "Unknown error N" when the system has none.
std::string FormatWinError(std::uint32_t code);
