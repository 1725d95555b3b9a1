#include "support/file_operations.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "support/test_environment.hpp"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using namespace testenv;
using Strings = std::vector<std::string>;
using Sleeps = std::vector<unsigned>;

bool Never(const std::string&, const std::string&) { return false; }

// A disk whose system copy always fails and whose other calls fail where a test says so; sleeps are
// only recorded.
struct FakeDisk {
  std::function<bool(const std::string&, const std::string&)> copyFile = Never;
  bool noLongPath = false;
  std::string unreadable = "\x01";  // opening a path that contains it fails
  int failEveryRead = 0, writesAllowed = INT_MAX;
  std::atomic<int> reads{0}, writes{0}, inside{0}, most{0};
  std::mutex mutex;
  Sleeps sleeps;
};

FakeDisk* fake = nullptr;

const DiskInterface kFakeDisk = {
    +[](const std::string& f, const std::string& t) { return fake->copyFile(f, t); },
    +[](const std::string& p) { return fake->noLongPath ? std::string() : "\\\\?\\" + p; },
    +[](const std::string& p) {
      return p.find(fake->unreadable) != std::string::npos ? platform::File()
                                                           : platform::File::OpenForRead(p);
    },
    platform::File::CreateForWrite,
    +[](platform::File& f, void* b, std::size_t n) -> std::int64_t {
      return fake->failEveryRead && ++fake->reads % fake->failEveryRead == 0 ? -1 : f.Read(b, n);
    },
    +[](platform::File& f, const void* d, std::size_t n) {
      return ++fake->writes <= fake->writesAllowed && f.Write(d, n);
    },
    platform::DeleteFile,
    +[]() -> std::uint32_t { return 5; },
    +[](unsigned ms) {
      std::lock_guard<std::mutex> lock(fake->mutex);
      fake->sleeps.push_back(ms);
    },
    platform::MoveFileReplace,
};

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
  return bytes;
}

// A deadlock ends the test binary rather than hanging it.
void RunOrDie(const std::function<void()>& work) {
  auto done = std::async(std::launch::async, work);
  if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << "deadlock";
    std::fflush(nullptr);
    std::_Exit(1);
  }
}

// A slow system copy that counts how many copies are inside it at once.
bool CountedCopy(const std::string& from, const std::string& to) {
  const int now = ++fake->inside;
  for (int seen = fake->most; now > seen && !fake->most.compare_exchange_weak(seen, now);) {
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const bool copied = platform::CopyFileOverwrite(from, to);
  --fake->inside;
  return copied;
}

class FileOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override { fake = &disk_; }
  void TearDown() override { fake = nullptr; }
  std::string Path(const std::string& relative) const { return dir_.path() + relative; }
  testenv::ScopedTempDir dir_{"fileops"};
  FakeDisk disk_;
};

TEST_F(FileOperationsTest, EveryMethodTriedInOrderWithGrowingWaitsThenFails) {
  const std::string src = testenv::WriteFile(Path("a.gr2"), "model"), dst = Path("out.gr2");
  disk_.unreadable = "a.gr2";
  DebugLogCapture log;
  EXPECT_FALSE(FileCopyWithRetries(src, dst, 3, kFakeDisk));

  Strings lines = {"[IO] FileCopyWithRetries src=" + src + " dst=" + dst +
                   " thread=" + std::to_string(platform::CurrentThreadId())};
  for (int n = 1; n <= 3; ++n) {
    const std::string where = " attempt=" + std::to_string(n) + " src=" + src + " dst=" + dst;
    lines.insert(lines.end(), {"[WARN] CopyFileA failed" + where + " err=" + FormatWinError(5),
                               "[WARN] CopyFileW (long-path) failed" + where + " err=" + FormatWinError(5),
                               "[WARN] Copy failed" + where + " (will retry)"});
  }
  lines.push_back("[ERROR] FileCopyWithRetries ultimately failed src=" + src + " dst=" + dst + " retries=3");
  EXPECT_EQ(disk_.sleeps, (Sleeps{50, 100, 150}));
  EXPECT_EQ(log.Lines(), lines);
  EXPECT_FALSE(Exists(dst));
  EXPECT_FALSE(FileCopyWithRetries(src, dst, 0, kFakeDisk));
  EXPECT_FALSE(
      FileCopyWithRetries(Path("none.gr2"), Path("NONE.gr2"), 1, kFakeDisk));  // missing is no self-copy
}

TEST_F(FileOperationsTest, LongPathThenStreamingCopyTakeOverByteExactly) {
  const std::string src = testenv::WriteFile(Path("tex.dds"), Pattern(65536 * 3 + 17));  // across chunks
  disk_.copyFile = [](const std::string& from, const std::string& to) {  // only the long-path form works
    return from.rfind("\\\\?\\", 0) == 0 && platform::CopyFileOverwrite(from.substr(4), to.substr(4));
  };
  DebugLogCapture log;
  EXPECT_TRUE(FileCopyWithRetries(src, Path("long.dds"), 3, kFakeDisk));
  EXPECT_EQ(ReadFile(Path("long.dds")), Pattern(65536 * 3 + 17));
  EXPECT_EQ(log.Lines().back(),
            "[IO] Copied using CopyFileW (long-path) src=" + src + " dst=" + Path("long.dds"));

  disk_.copyFile = Never;
  disk_.noLongPath = true;
  DebugLogCapture streamLog;
  EXPECT_TRUE(FileCopyWithRetries(src, Path("stream.dds"), 3, kFakeDisk));
  EXPECT_EQ(ReadFile(Path("stream.dds")), Pattern(65536 * 3 + 17));
  EXPECT_EQ(streamLog.Lines().back(),
            "[IO] Copied using streaming fallback src=" + src + " dst=" + Path("stream.dds"));
  EXPECT_TRUE(disk_.sleeps.empty());
}

TEST_F(FileOperationsTest, ReadOrWriteErrorMidCopyIsAFailedCopyAndLeavesNoShortenedFile) {
  const std::string src = testenv::WriteFile(Path("big.gr2"), Pattern(300000)), dst = Path("copy.gr2");
  disk_.failEveryRead = 3;
  EXPECT_FALSE(FileCopyWithRetries(src, dst, 2, kFakeDisk));
  EXPECT_FALSE(Exists(dst));
  disk_.sleeps.clear();
  DebugLogCapture log;
  EXPECT_FALSE(TryCopyFile(src, dst, kFakeDisk));  // three single-attempt passes
  EXPECT_EQ(disk_.sleeps, (Sleeps{50, 40, 50, 80, 50, 120}));
  EXPECT_EQ(log.Lines().back(), "[ERROR] TryCopyFile ultimately failed src=" + src + " dst=" + dst);
  disk_.failEveryRead = 0;
  disk_.writesAllowed = 1;
  EXPECT_FALSE(FileCopyWithRetries(src, dst, 1, kFakeDisk));
  EXPECT_FALSE(Exists(dst));
  // A copy that fails over an earlier one (a second Ctrl+C, a full disk) leaves the earlier one whole.
  testenv::WriteFile(dst, "earlier copy");
  disk_.writes = 0;
  EXPECT_FALSE(FileCopyWithRetries(src, dst, 1, kFakeDisk));
  EXPECT_EQ(ReadFile(dst), "earlier copy");
  EXPECT_EQ(FilesBelow(dir_.path()), (std::set<std::string>{"big.gr2", "copy.gr2"}));  // no temporary left
}

TEST_F(FileOperationsTest, OppositeCopiesNeverDeadlock) {
  testenv::WriteFile(Path("a.gr2"), Pattern(5000));
  testenv::WriteFile(Path("b.gr2"), Pattern(5000));
  std::atomic<int> failures{0};
  disk_.copyFile = CountedCopy;
  auto copies = [&](const std::string& from, const std::string& to) {  // "b.gr2" and "B.GR2" take one lock
    for (int i = 0; i < 100; ++i) failures += !FileCopyWithRetries(Path(from), Path(to), 3, kFakeDisk);
  };
  RunOrDie([&] {
    std::thread forward(copies, "a.gr2", "b.gr2"), backward(copies, "B.GR2", "A.GR2");
    forward.join();
    backward.join();
  });
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(disk_.most, 1);
}

TEST_F(FileOperationsTest, NoMoreCopiesThanSlotsRunAtOnce) {
  const unsigned reported = std::thread::hardware_concurrency();
  EXPECT_EQ(CopySlotLimit(), static_cast<int>(std::min(reported == 0 ? 2u : reported, 4u)));
  disk_.copyFile = CountedCopy;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([this, t] {
      for (int i = 0; i < 10; ++i)
        FileCopyWithRetries(Path(std::to_string(t * 10 + i)), Path("o" + std::to_string(t * 10 + i)), 1,
                            kFakeDisk);
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(disk_.most, CopySlotLimit())
      << "more copies at once than slots, or eight threads never filled them";
}

TEST_F(FileOperationsTest, CopyDirectoryRecursiveGoesOnPastAnUnreadableFile) {
  for (const char* name : {"a.msm", "sub\\b.gr2", "sub\\locked.dds", "sub\\deeper\\c.dds"})
    testenv::WriteFile(Path("npc\\") + name, name);
  disk_.copyFile = [](const std::string& src, const std::string& dst) {
    return src.find("locked") == std::string::npos && platform::CopyFileOverwrite(src, dst);
  };
  disk_.unreadable = "locked";
  EXPECT_FALSE(CopyDirectoryRecursive(Path("npc\\"), Path("out\\npc/"), kFakeDisk));
  for (const char* name : {"a.msm", "sub\\b.gr2", "sub\\deeper\\c.dds"})
    EXPECT_EQ(ReadFile(Path("out\\npc\\") + name), name);
  EXPECT_FALSE(Exists(Path("out\\npc\\sub\\locked.dds")));
  EXPECT_EQ(disk_.sleeps, (Sleeps{50, 100, 150, 200}));  // four attempts for the unreadable file
}

TEST_F(FileOperationsTest, WriteFileWritesCrLfAndNeverReportsAFailedWrite) {
  const std::string target = Path("new\\deep/group_snippet.txt");
  EXPECT_TRUE(WriteFile(target, "Group\r\n{\n}\n", kFakeDisk));
  EXPECT_EQ(ReadFile(target), "Group\r\r\n{\r\n}\r\n");
  disk_.writesAllowed = 0;
  DebugLogCapture log;
  EXPECT_FALSE(WriteFile(Path("failed.txt"), "content\n", kFakeDisk));
  EXPECT_FALSE(Exists(Path("failed.txt")));
  EXPECT_EQ(disk_.sleeps, (Sleeps{40, 80, 120}));
  EXPECT_EQ(log.Lines().back(), "[ERROR] WriteFile ultimately failed path=" + Path("failed.txt"));
  testenv::WriteFile(Path("plain.txt"), "file");
  EXPECT_FALSE(CreateRecursiveDirectory(Path("plain.txt\\sub"), kFakeDisk));
  EXPECT_FALSE(WriteFile(Path("plain.txt"), "cut", kFakeDisk));
  EXPECT_EQ(ReadFile(Path("plain.txt")), "file");
  EXPECT_EQ(FilesBelow(dir_.path()), (std::set<std::string>{"new\\deep\\group_snippet.txt", "plain.txt"}));
}

TEST_F(FileOperationsTest, CopyOntoTheSameFileUnderAnotherSpellingLeavesItIntact) {
  platform::CreateFolderWithParents(Path("c\\x"));
  testenv::WriteFile(Path("c\\tex.dds"), Pattern(70000));
  Strings spellings = {Path("c\\.\\tex.dds"), Path("c\\x\\..\\tex.dds"), Path("C\\TEX.dds")};
#ifndef _WIN32
  std::filesystem::create_directory_symlink(*platform::ToNativePath(Path("c")),
                                            *platform::ToNativePath(Path("link")));
  spellings.push_back(Path("link\\tex.dds"));
#endif
  for (const std::string& same : spellings) {
    DebugLogCapture log;
    EXPECT_TRUE(FileCopyWithRetries(Path("c\\tex.dds"), same, 3)) << same;
    EXPECT_TRUE(TryCopyFile(same, Path("c\\tex.dds"))) << same;
    EXPECT_TRUE(testenv::Contains(
        log.Lines(), "[IO] Copy skipped, source and destination are the same file src=" + Path("c\\tex.dds") +
                         " dst=" + same));
    EXPECT_EQ(ReadFile(Path("c\\tex.dds")), Pattern(70000)) << same;
  }
  EXPECT_EQ(FilesBelow(Path("c")), std::set<std::string>{"tex.dds"});
}

#ifndef _WIN32
TEST_F(FileOperationsTest, PipesAndDevicesAreMissingAndNeverReadOrCopied) {
  const std::string fifo = Path("pipe.dds"), zero = Path("zero.dds"), plain = Path("plain.dds");
  ASSERT_EQ(mkfifo(platform::ToNativePath(fifo)->c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", *platform::ToNativePath(zero));
  testenv::WriteFile(plain, "texture");
  RunOrDie([&] {  // before the refusal a pipe blocked the open for ever, /dev/zero filled the disk
    for (const std::string& special : {fifo, zero}) {
      DebugLogCapture log;
      EXPECT_FALSE(FileExists(special));
      EXPECT_EQ(log.Lines(), Strings{"[WARN] Not a regular file, taken as missing: " + special});
      EXPECT_FALSE(platform::File::OpenForRead(special).IsOpen());
      EXPECT_EQ(platform::LastError(), platform::NotRegularFileError());
      std::string contents;
      EXPECT_FALSE(platform::ReadWholeFile(special, contents));
      EXPECT_FALSE(platform::CopyFileOverwrite(special, Path("out.dds")));
      EXPECT_FALSE(FileCopyWithRetries(special, Path("out.dds"), 3));
      EXPECT_FALSE(platform::CopyFileOverwrite(plain, special));  // nor written as a destination
      EXPECT_FALSE(Exists(Path("out.dds")));
    }
  });
}
#endif

}  // namespace
