#include "support/file_operations.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "log/debug_log.hpp"
#include "support/client_paths.hpp"
#include "support/export_journal.hpp"
#include "support/folder_walk.hpp"
#include "support/link_guard.hpp"

namespace {

const DiskInterface kRealDisk = {
    &platform::CopyFileOverwrite,
    &platform::LongPathForm,
    &platform::File::OpenForRead,
    &platform::File::CreateForWrite,
    +[](platform::File& file, void* buffer, std::size_t size) { return file.Read(buffer, size); },
    +[](platform::File& file, const void* data, std::size_t size) { return file.Write(data, size); },
    &platform::DeleteFile,
    &platform::LastError,
    &platform::SleepMilliseconds,
    &platform::MoveFileReplace,
};

std::string ThreadText() { return std::to_string(platform::CurrentThreadId()); }

bool IsFile(const std::string& path) {
  const std::uint32_t attributes = platform::GetFileAttributes(path);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeDirectory) == 0;
}

// Spellings do not tell: "c\.\x", "C\X", "c\link\x" may all lead to one file.
bool IsSameFile(const std::string& a, const std::string& b) {
  // The destination first: it is new in nearly every copy, and then nothing more is asked.
  const std::optional<platform::FileIdentity> second = platform::GetFileIdentity(b);
  return second && second == platform::GetFileIdentity(a) && IsFile(a);
}

// -1 when it is not a regular file.
std::int64_t FileSizeOf(const std::string& path) {
  const std::optional<std::uint64_t> size = platform::GetRegularFileSize(path);
  return size ? static_cast<std::int64_t>(*size) : -1;
}

bool IsSpecialFile(const std::string& path) {
  return platform::GetFileAttributes(path) == platform::kInvalidAttributes &&
         platform::LastError() == platform::NotRegularFileError();
}

// A name beside `path` that no other copy or write in this process uses. The bytes go there and
// take the final name only when complete, so the destination is never opened for writing (it may
// be the source) and a stopped run never leaves a cut file under a name a later run trusts.
std::string TemporaryNameFor(const std::string& path) {
  static std::atomic<std::uint64_t> counter{0};
  return path + ".vintrel-tmp-" + ThreadText() + "-" + std::to_string(++counter);
}

// A counting semaphore: the copies inside the copy methods at any moment.
class CopySlots {
 public:
  explicit CopySlots(int count) : free_(count) {}
  void Acquire() {
    std::unique_lock<std::mutex> lock(mutex_);
    available_.wait(lock, [this] { return free_ > 0; });
    --free_;
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++free_;
    }
    available_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable available_;
  int free_;
};

CopySlots& GetCopySlots() {
  static CopySlots slots(CopySlotLimit());
  return slots;
}

class CopySlotGuard {
 public:
  CopySlotGuard() { GetCopySlots().Acquire(); }
  ~CopySlotGuard() { GetCopySlots().Release(); }
  CopySlotGuard(const CopySlotGuard&) = delete;
  CopySlotGuard& operator=(const CopySlotGuard&) = delete;
};

struct Fnv1aHash {
  std::size_t operator()(const std::string& key) const {
    std::uint32_t hash = 2166136261u;
    for (char c : key) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 16777619u;
    }
    return hash;
  }
};

constexpr std::size_t kStreamChunk = 65536;
struct alignas(32) StreamBuffer {
  unsigned char bytes[kStreamChunk];
};

// A read or write error leaves no shortened file behind that a later step could take for a copy.
bool StreamCopy(const std::string& src, const std::string& temporary, const std::string& dst,
                const DiskInterface& disk) {
  platform::File in = disk.openForRead(src);
  if (!in.IsOpen()) return false;
  platform::File out = disk.createForWrite(temporary);
  if (!out.IsOpen()) return false;
  auto buffer = std::make_unique<StreamBuffer>();
  bool complete = true;
  for (;;) {
    const std::int64_t got = disk.read(in, buffer->bytes, kStreamChunk);
    if (got == 0) break;
    if (got < 0 || !disk.write(out, buffer->bytes, static_cast<std::size_t>(got))) {
      complete = false;
      break;
    }
  }
  if (complete && !out.Flush()) complete = false;
  out.Close();
  in.Close();
  if (!complete) {
    disk.deleteFile(temporary);
    LogLine("[WARN] Streaming copy incomplete, partial file removed src=" + src + " dst=" + dst);
  }
  return complete;
}

// The three methods in turn, each into `temporary`; returns the method that worked, empty when none did.
std::string CopyMethods(const std::string& src, const std::string& temporary, const std::string& dst,
                        const std::string& where, const DiskInterface& disk) {
  if (disk.copyFile(src, temporary)) return "CopyFileA";
  LogLine("[WARN] CopyFileA failed" + where + " err=" + FormatWinError(disk.lastError()));

  const std::string longSrc = disk.longPathForm(src);
  const std::string longTemporary = disk.longPathForm(temporary);
  std::string error = "Invalid wide conversion";
  if (!longSrc.empty() && !longTemporary.empty()) {
    if (disk.copyFile(longSrc, longTemporary)) return "CopyFileW (long-path)";
    error = FormatWinError(disk.lastError());
  }
  LogLine("[WARN] CopyFileW (long-path) failed" + where + " err=" + error);

  if (StreamCopy(src, temporary, dst, disk)) return "streaming fallback";
  if (!longSrc.empty() && !longTemporary.empty() && StreamCopy(longSrc, longTemporary, dst, disk)) {
    return "streaming fallback";
  }
  return std::string();
}

// One attempt: a copy beside the destination, renamed over it when complete. Returns the method
// that worked, empty when none did or the rename failed; no temporary file outlives the attempt.
std::string CopyOnce(const std::string& src, const std::string& dst, int attempt, const DiskInterface& disk) {
  const std::string where = " attempt=" + std::to_string(attempt) + " src=" + src + " dst=" + dst;
  const std::string temporary = TemporaryNameFor(dst);
  const std::string method = CopyMethods(src, temporary, dst, where, disk);
  if (!method.empty() && disk.moveFile(temporary, dst)) return method;
  if (!method.empty())
    LogLine("[WARN] Rename into place failed" + where + " err=" + FormatWinError(disk.lastError()));
  disk.deleteFile(temporary);
  return std::string();
}

bool FileCopyWithRetriesUnguarded(const std::string& src, const std::string& dst, std::int32_t attempts,
                                  const DiskInterface& disk) {
  LogLine("[IO] FileCopyWithRetries src=" + src + " dst=" + dst + " thread=" + ThreadText());
  const std::string srcKey = PathLockKey(src);
  const std::string dstKey = PathLockKey(dst);
  const bool sameFile = srcKey == dstKey;
  // Ascending key order in every thread, so opposite copies cannot deadlock.
  const std::shared_ptr<std::mutex> firstLock = GetPathLock(std::min(srcKey, dstKey));
  const std::shared_ptr<std::mutex> secondLock = sameFile ? nullptr : GetPathLock(std::max(srcKey, dstKey));

  {
    // Other spellings of one file take other locks; the file system's identity is checked under
    // both, and the rename into place keeps a copy racing with this check from harming the source.
    std::lock_guard<std::mutex> first(*firstLock);
    std::unique_lock<std::mutex> second;
    if (secondLock) second = std::unique_lock<std::mutex>(*secondLock);
    if (IsSameFile(src, dst)) {
      LogLine("[IO] Copy skipped, source and destination are the same file src=" + src + " dst=" + dst);
      return true;
    }
    // Its open would block for ever on a pipe, and a device such as /dev/zero never ends.
    if (IsSpecialFile(src)) {
      LogLine("[WARN] Not a regular file, not copied src=" + src + " dst=" + dst);
      return false;
    }
  }
  if (PlanOnly()) {
    const std::int64_t size = FileSizeOf(src);
    if (size < 0) return false;
    LogLine("[IO] Planned copy src=" + src + " dst=" + dst);
    RecordFileWritten(dst, src, static_cast<std::uint64_t>(size));
    return true;
  }

  unsigned wait = 50;
  for (std::int32_t attempt = 1; attempt <= attempts; ++attempt) {
    std::string method;
    {
      CopySlotGuard slot;
      std::lock_guard<std::mutex> first(*firstLock);
      std::unique_lock<std::mutex> second;
      if (secondLock) second = std::unique_lock<std::mutex>(*secondLock);
      method = CopyOnce(src, dst, attempt, disk);
    }
    if (!method.empty()) {
      LogLine("[IO] Copied using " + method + " src=" + src + " dst=" + dst);
      if (JournalActive())
        RecordFileWritten(dst, src, static_cast<std::uint64_t>(std::max<std::int64_t>(0, FileSizeOf(dst))));
      return true;
    }
    LogLine("[WARN] Copy failed attempt=" + std::to_string(attempt) + " src=" + src + " dst=" + dst +
            " (will retry)");
    disk.sleepMilliseconds(wait);
    wait += 50;
  }
  LogLine("[ERROR] FileCopyWithRetries ultimately failed src=" + src + " dst=" + dst +
          " retries=" + std::to_string(attempts));
  return false;
}

std::string ToCrLf(const std::string& content) {
  std::string out;
  out.reserve(content.size() + static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n')));
  for (char c : content) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

const DiskInterface& RealDiskInterface() { return kRealDisk; }

int CopySlotLimit() {
  const unsigned reported = std::thread::hardware_concurrency();
  return static_cast<int>(std::min(reported == 0 ? 2u : reported, 4u));
}

std::string PathLockKey(const std::string& path) {
  std::string key = ToLowerCopy(path);
  std::replace(key.begin(), key.end(), '/', '\\');
  return key;
}

std::shared_ptr<std::mutex> GetPathLock(const std::string& key) {
  static std::mutex tableMutex;
  static std::unordered_map<std::string, std::shared_ptr<std::mutex>, Fnv1aHash> table;
  std::lock_guard<std::mutex> lock(tableMutex);
  std::shared_ptr<std::mutex>& entry = table[key];
  if (!entry) entry = std::make_shared<std::mutex>();
  return entry;
}

std::string FormatWinError(std::uint32_t code) {
  if (code == 0) return std::string();
  std::string message = platform::ErrorMessage(code);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) message.pop_back();
  if (message.empty()) return "Unknown error " + std::to_string(code);
  return message;
}

bool CreateRecursiveDirectory(const std::string& path, const DiskInterface& disk) {
  for (unsigned attempt = 1; attempt <= 3; ++attempt) {
    try {
      if (EnsureDirectory(path)) return true;
    } catch (const std::system_error& e) {
      LogLine("[WARN] CreateRecursiveDirectory system_error (attempt " + std::to_string(attempt) +
              ") path=" + path + " errcode=" + std::to_string(e.code().value()) + " msg=" + e.what());
    } catch (...) {
      LogLine("[WARN] CreateRecursiveDirectory unknown error");
    }
    disk.sleepMilliseconds(attempt * 50);
  }
  LogLine("[ERROR] CreateRecursiveDirectory failed after retries: " + path);
  return false;
}

namespace {

// `forceToDisk` waits until the bytes are on the disk before the rename, so that not even a power
// failure can leave an empty file under the final name.
bool WriteThroughTemporary(const std::string& path, const std::string& bytes, bool forceToDisk,
                           const DiskInterface& disk) {
  if (PlanOnly()) {
    RecordFileWritten(path, std::string(), bytes.size());
    return true;
  }
  const std::string temporary = TemporaryNameFor(path);
  platform::File file = disk.createForWrite(temporary);
  if (!file.IsOpen()) return false;
  bool written =
      (bytes.empty() || disk.write(file, bytes.data(), bytes.size())) && (!forceToDisk || file.Flush());
  file.Close();
  if (written && disk.moveFile(temporary, path)) {
    RecordFileWritten(path, std::string(), bytes.size());
    return true;
  }
  disk.deleteFile(temporary);
  return false;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& bytes, const DiskInterface& disk) {
  return WriteThroughTemporary(path, bytes, true, disk);
}

bool WriteFile(const std::string& path, const std::string& content, const DiskInterface& disk) {
  try {
    const std::string bytes = ToCrLf(content);
    for (unsigned attempt = 1; attempt <= 3; ++attempt) {
      try {
        const std::size_t separator = path.find_last_of("\\/");
        if (separator != std::string::npos) CreateRecursiveDirectory(path.substr(0, separator), disk);
        // Not forced onto the disk: an export writes thousands of these, a flush each cost more than
        // all its copies, and the next run writes them again.
        if (WriteThroughTemporary(path, bytes, false, disk)) {
          LogLine("[IO] WriteFile success path=" + path);
          return true;
        }
        LogLine("[WARN] WriteFile write failed attempt=" + std::to_string(attempt) + " path=" + path);
      } catch (...) {
        LogLine("[WARN] WriteFile unknown error");
      }
      disk.sleepMilliseconds(attempt * 40);
    }
    LogLine("[ERROR] WriteFile ultimately failed path=" + path);
  } catch (...) {
  }
  return false;
}

bool FileCopyWithRetries(const std::string& src, const std::string& dst, std::int32_t attempts,
                         const DiskInterface& disk) {
  try {
    return FileCopyWithRetriesUnguarded(src, dst, attempts, disk);
  } catch (const std::exception& e) {
    LogException("FileCopyWithRetries", e);
  } catch (...) {
    LogException("FileCopyWithRetries");
  }
  return false;
}

bool TryCopyFile(const std::string& src, const std::string& dst, const DiskInterface& disk) {
  try {
    unsigned wait = 40;
    for (int pass = 1; pass <= 3; ++pass) {
      const std::string where = " attempt=" + std::to_string(pass) + " src=" + src + " dst=" + dst;
      LogLine("[IO] TryCopyFile" + where + " thread=" + ThreadText());
      if (FileCopyWithRetries(src, dst, 1, disk)) {
        LogLine("[IO] TryCopyFile succeeded" + where);
        return true;
      }
      LogLine("[WARN] TryCopyFile failed" + where);
      disk.sleepMilliseconds(wait);
      wait += 40;
    }
    LogLine("[ERROR] TryCopyFile ultimately failed src=" + src + " dst=" + dst);
  } catch (...) {
  }
  return false;
}

bool CopyDirectoryRecursive(const std::string& srcDir, const std::string& dstDir, const DiskInterface& disk) {
  return CopyDirectoryRecursive(srcDir, dstDir, LinkScope::Client, disk);
}

bool CopyDirectoryRecursive(const std::string& srcDir, const std::string& dstDir, LinkScope scope,
                            const DiskInterface& disk) {
  try {
    std::string source = srcDir;
    std::string destination = dstDir;
    if (!source.empty() && (source.back() == '\\' || source.back() == '/')) source.pop_back();
    if (!destination.empty() && (destination.back() == '\\' || destination.back() == '/'))
      destination.pop_back();
    if (!destination.empty() && !FolderExists(destination) && !PlanOnly() &&
        platform::CreateFolderWithParents(destination) == platform::CreateFolderResult::Failed) {
      return false;
    }
    // Links may lead anywhere in the client that the folder belongs to, never out of it.
    const std::string& clientRoot = GetPathSettings().clientRoot;
    const bool inClient =
        scope == LinkScope::Client && !clientRoot.empty() && ResolvesInside(source, clientRoot);
    const std::string boundary = inClient ? clientRoot : source;
    const char* const outside = inClient ? "the client" : "the folder";
    const std::optional<std::string> realBoundary = platform::RealPath(boundary);
    const std::optional<platform::FileIdentity> destinationIdentity =
        destination.empty() ? std::nullopt : platform::GetFileIdentity(destination);
    bool result = true;
    FolderWalkVisitor visitor;
    visitor.onFolder = [&](const std::string& from, std::string_view relative) {
      // A destination inside the source would be copied into itself for ever.
      if (destinationIdentity && platform::GetFileIdentity(from) == destinationIdentity) return false;
      const std::string to = destination + "\\" + std::string(relative);
      if (FolderExists(to) || PlanOnly() ||
          platform::CreateFolderWithParents(to) != platform::CreateFolderResult::Failed)
        return true;
      result = false;
      return false;
    };
    visitor.onFile = [&](const std::string& from, std::string_view relative, const platform::DirEntry&) {
      // Again right before the copy: a link may have been swapped in since the walk met the file.
      const std::optional<std::string> realSource = platform::RealPath(from);
      if (!realSource || !realBoundary || !RealPathWithin(*realSource, *realBoundary)) {
        LogLine(std::string("[WARN] Refused file outside ") + outside + ": " + from);
        return;
      }
      const std::string to = destination + "\\" + std::string(relative);
      const std::size_t separator = to.find_last_of("\\/");
      const std::string parent = separator == std::string::npos ? std::string() : to.substr(0, separator);
      if (!parent.empty() && !FolderExists(parent) && !PlanOnly()) platform::CreateFolderWithParents(parent);
      if (!FileCopyWithRetries(from, to, 4, disk)) result = false;
    };
    RefusedLinkReport onRefused;
    if (scope == LinkScope::Folder) {
      onRefused = [](const std::string& link, const std::string& target) {
        LogLine("[WARN] Skipping link that leads outside the folder: " + link + " -> " + target);
      };
    }
    const FolderWalkResult walk = WalkFolder(source, visitor, boundary, onRefused);
    return result && walk.listedAll && !walk.stopped;
  } catch (...) {
    LogLine("[ERROR] CopyDirectoryRecursive unknown error src=" + srcDir + " dst=" + dstDir);
  }
  return false;
}
