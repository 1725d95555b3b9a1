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
};

const DiskInterface& RealDiskInterface();

// True when the folder exists afterwards; an empty path counts as existing.
bool CreateRecursiveDirectory(const std::string& path, const DiskInterface& disk = RealDiskInterface());

// Writes `content` with every "\n" as CR LF (as Windows text mode does, on every platform), after
// creating the parent folders. A failed write or flush counts as a failed attempt.
bool WriteFile(const std::string& path, const std::string& content,
               const DiskInterface& disk = RealDiskInterface());

// Three passes of FileCopyWithRetries with one attempt each, 40/80/120 ms apart.
bool TryCopyFile(const std::string& src, const std::string& dst,
                 const DiskInterface& disk = RealDiskInterface());

// Up to `attempts` attempts, each trying the plain copy, the long-path copy and the streaming copy
// in that order, with waits of 50, 100, 150, ... ms after failed attempts. A copy whose source and
// destination are the same file (same path key) succeeds without touching it when it exists.
// A streaming copy that cannot read or write every byte fails and removes its partial destination.
bool FileCopyWithRetries(const std::string& src, const std::string& dst, std::int32_t attempts,
                         const DiskInterface& disk = RealDiskInterface());

// Copies every file below srcDir into dstDir (4 attempts each), creating folders; goes on after a
// failure and returns true only when every file was copied.
bool CopyDirectoryRecursive(const std::string& srcDir, const std::string& dstDir,
                            const DiskInterface& disk = RealDiskInterface());

// The key under which a path is locked: "/" turned into "\", every byte lower-cased.
std::string PathLockKey(const std::string& path);
// The process-wide mutex for a key, created on first use and kept for the life of the process.
std::shared_ptr<std::mutex> GetPathLock(const std::string& key);

// How many copies may be inside the copy methods at once: min(hardware threads or 2, 4).
int CopySlotLimit();

// The system's text for an error code; empty for 0, "Unknown error N" when the system has none.
std::string FormatWinError(std::uint32_t code);
