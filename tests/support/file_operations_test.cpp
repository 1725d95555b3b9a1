#include "support/file_operations.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/platform.hpp"
#include "support/debug_log_capture.hpp"
#include "support/test_environment.hpp"

namespace {

// A disk whose operations each test scripts; unscripted ones reach the real disk. Sleeps are only
// recorded, so the retry schedule can be checked without waiting for it.
struct FakeDisk {
  std::function<bool(const std::string&, const std::string&)> copyFile = platform::CopyFileOverwrite;
  std::function<std::string(const std::string&)> longPathForm = [](const std::string& p) {
    return "\\\\?\\" + p;
  };
  std::function<platform::File(const std::string&)> openForRead = platform::File::OpenForRead;
  std::function<platform::File(const std::string&)> createForWrite = platform::File::CreateForWrite;
  std::function<std::int64_t(platform::File&, void*, std::size_t)> read =
      [](platform::File& f, void* b, std::size_t n) { return f.Read(b, n); };
  std::function<bool(platform::File&, const void*, std::size_t)> write =
      [](platform::File& f, const void* d, std::size_t n) { return f.Write(d, n); };

  std::mutex mutex;
  std::vector<std::string> calls;
  std::vector<unsigned> sleeps;

  void Record(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back(call);
  }
};

FakeDisk* fake = nullptr;

const DiskInterface kFakeDisk = {
    +[](const std::string& from, const std::string& to) {
      fake->Record("copy " + from + " -> " + to);
      return fake->copyFile(from, to);
    },
    +[](const std::string& path) { return fake->longPathForm(path); },
    +[](const std::string& path) {
      fake->Record("open " + path);
      return fake->openForRead(path);
    },
    +[](const std::string& path) {
      fake->Record("create " + path);
      return fake->createForWrite(path);
    },
    +[](platform::File& file, void* buffer, std::size_t size) { return fake->read(file, buffer, size); },
    +[](platform::File& file, const void* data, std::size_t size) { return fake->write(file, data, size); },
    +[](const std::string& path) {
      fake->Record("delete " + path);
      return platform::DeleteFile(path);
    },
    +[]() -> std::uint32_t { return 5; },
    +[](unsigned milliseconds) {
      std::lock_guard<std::mutex> lock(fake->mutex);
      fake->sleeps.push_back(milliseconds);
    },
};

using testenv::DebugLogCapture;

std::string ReadAll(const std::string& path) {
  std::string contents;
  EXPECT_TRUE(platform::ReadWholeFile(path, contents)) << path;
  return contents;
}

void Write(const std::string& path, const std::string& contents) {
  platform::File file = platform::File::CreateForWrite(path);
  ASSERT_TRUE(file.IsOpen()) << path;
  ASSERT_TRUE(file.Write(contents.data(), contents.size()));
}

// Large contents compared without printing them.
::testing::AssertionResult HoldsBytes(const std::string& path, const std::string& expected) {
  std::string contents;
  if (!platform::ReadWholeFile(path, contents))
    return ::testing::AssertionFailure() << "cannot read " << path;
  if (contents == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << path << " holds " << contents.size() << " bytes, not the " << expected.size() << " expected";
}

bool Exists(const std::string& path) {
  return platform::GetFileAttributes(path) != platform::kInvalidAttributes;
}

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
  return bytes;
}

// Runs `work` on its own thread; a deadlock ends the whole test binary rather than hanging it.
void RunOrDie(const std::function<void()>& work, std::chrono::seconds limit) {
  auto done = std::async(std::launch::async, work);
  if (done.wait_for(limit) != std::future_status::ready) {
    ADD_FAILURE() << "deadlock: work did not finish within " << limit.count() << " s";
    std::fflush(nullptr);
    std::_Exit(1);
  }
  done.get();
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
  const std::string src = Path("a.gr2");
  const std::string dst = Path("out.gr2");
  Write(src, "model");
  disk_.copyFile = [](const std::string&, const std::string&) { return false; };
  disk_.openForRead = [](const std::string&) { return platform::File(); };

  DebugLogCapture log;
  EXPECT_FALSE(FileCopyWithRetries(src, dst, 3, kFakeDisk));

  const std::string longSrc = "\\\\?\\" + src;
  const std::string longDst = "\\\\?\\" + dst;
  const std::vector<std::string> oneAttempt = {
      "copy " + src + " -> " + dst, "copy " + longSrc + " -> " + longDst, "open " + src, "open " + longSrc};
  std::vector<std::string> expectedCalls;
  for (int i = 0; i < 3; ++i) expectedCalls.insert(expectedCalls.end(), oneAttempt.begin(), oneAttempt.end());
  EXPECT_EQ(disk_.calls, expectedCalls);
  EXPECT_EQ(disk_.sleeps, (std::vector<unsigned>{50, 100, 150}));
  EXPECT_FALSE(Exists(dst));

  const std::string err = FormatWinError(5);
  std::vector<std::string> expected = {"[IO] FileCopyWithRetries src=" + src + " dst=" + dst +
                                       " thread=" + std::to_string(platform::CurrentThreadId())};
  for (int n = 1; n <= 3; ++n) {
    const std::string where = " attempt=" + std::to_string(n) + " src=" + src + " dst=" + dst;
    expected.push_back("[WARN] CopyFileA failed" + where + " err=" + err);
    expected.push_back("[WARN] CopyFileW (long-path) failed" + where + " err=" + err);
    expected.push_back("[WARN] Copy failed" + where + " (will retry)");
  }
  expected.push_back("[ERROR] FileCopyWithRetries ultimately failed src=" + src + " dst=" + dst +
                     " retries=3");
  EXPECT_EQ(log.Lines(), expected);
}

TEST_F(FileOperationsTest, LongPathCopyThenStreamingFallbackTakeOver) {
  const std::string src = Path("tex.dds");
  Write(src, Pattern(1000));

  // Only the long-path form gets through.
  disk_.copyFile = [](const std::string& from, const std::string& to) {
    if (from.rfind("\\\\?\\", 0) != 0) return false;
    return platform::CopyFileOverwrite(from.substr(4), to.substr(4));
  };
  DebugLogCapture log;
  EXPECT_TRUE(FileCopyWithRetries(src, Path("long.dds"), 3, kFakeDisk));
  EXPECT_TRUE(HoldsBytes(Path("long.dds"), Pattern(1000)));
  EXPECT_EQ(log.Lines().back(),
            "[IO] Copied using CopyFileW (long-path) src=" + src + " dst=" + Path("long.dds"));

  // No wide form at all: the error text says so and the streaming copy does the work.
  disk_.copyFile = [](const std::string&, const std::string&) { return false; };
  disk_.longPathForm = [](const std::string&) { return std::string(); };
  DebugLogCapture streamLog;
  EXPECT_TRUE(FileCopyWithRetries(src, Path("stream.dds"), 3, kFakeDisk));
  EXPECT_TRUE(HoldsBytes(Path("stream.dds"), Pattern(1000)));
  const std::vector<std::string> lines = streamLog.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], "[WARN] CopyFileW (long-path) failed attempt=1 src=" + src +
                          " dst=" + Path("stream.dds") + " err=Invalid wide conversion");
  EXPECT_EQ(lines[3], "[IO] Copied using streaming fallback src=" + src + " dst=" + Path("stream.dds"));
  EXPECT_TRUE(disk_.sleeps.empty());
}

TEST_F(FileOperationsTest, StreamingCopyIsByteExactAcrossChunkBoundaries) {
  disk_.copyFile = [](const std::string&, const std::string&) { return false; };
  for (std::size_t size : {std::size_t{0}, std::size_t{65536}, std::size_t{65536 * 3 + 17}}) {
    const std::string src = Path("s" + std::to_string(size));
    Write(src, Pattern(size));
    ASSERT_TRUE(FileCopyWithRetries(src, src + ".copy", 1, kFakeDisk)) << size;
    EXPECT_TRUE(HoldsBytes(src + ".copy", Pattern(size))) << size;
  }
}

TEST_F(FileOperationsTest, BusyDestinationIsCopiedOnTheSecondAttempt) {
  const std::string src = Path("a.gr2");
  const std::string dst = Path("b.gr2");
  Write(src, "fresh");
  std::atomic<int> copies{0};
  disk_.copyFile = [&copies](const std::string& from, const std::string& to) {
    return ++copies > 2 && platform::CopyFileOverwrite(from, to);
  };
  disk_.createForWrite = [](const std::string&) { return platform::File(); };

  DebugLogCapture log;
  EXPECT_TRUE(FileCopyWithRetries(src, dst, 3, kFakeDisk));
  EXPECT_EQ(ReadAll(dst), "fresh");
  EXPECT_EQ(disk_.sleeps, std::vector<unsigned>{50});
  const std::vector<std::string> lines = log.Lines();
  EXPECT_EQ(
      std::count_if(lines.begin(), lines.end(),
                    [](const std::string& l) { return l.rfind("[WARN] Copy failed attempt=", 0) == 0; }),
      1);
  EXPECT_EQ(lines.back(), "[IO] Copied using CopyFileA src=" + src + " dst=" + dst);
}

TEST_F(FileOperationsTest, ZeroAttemptsTouchNothing) {
  const std::string src = Path("a.gr2");
  Write(src, "x");
  DebugLogCapture log;
  EXPECT_FALSE(FileCopyWithRetries(src, Path("b.gr2"), 0, kFakeDisk));
  EXPECT_FALSE(FileCopyWithRetries(src, Path("b.gr2"), -4, kFakeDisk));
  EXPECT_TRUE(disk_.calls.empty());
  EXPECT_FALSE(Exists(Path("b.gr2")));
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "[ERROR] FileCopyWithRetries ultimately failed src=" + src + " dst=" + Path("b.gr2") +
                          " retries=0");
  EXPECT_EQ(lines[3], "[ERROR] FileCopyWithRetries ultimately failed src=" + src + " dst=" + Path("b.gr2") +
                          " retries=-4");
}

TEST_F(FileOperationsTest, TryCopyFileMakesThreeSingleAttemptPasses) {
  const std::string src = Path("missing.gr2");
  const std::string dst = Path("b.gr2");
  DebugLogCapture log;
  EXPECT_FALSE(TryCopyFile(src, dst, kFakeDisk));
  EXPECT_EQ(disk_.sleeps, (std::vector<unsigned>{50, 40, 50, 80, 50, 120}));

  std::vector<std::string> tryLines;
  for (const std::string& line : log.Lines()) {
    if (line.find("TryCopyFile") != std::string::npos) tryLines.push_back(line);
  }
  const std::string tid = std::to_string(platform::CurrentThreadId());
  std::vector<std::string> expected;
  for (int n = 1; n <= 3; ++n) {
    const std::string where = " attempt=" + std::to_string(n) + " src=" + src + " dst=" + dst;
    expected.push_back("[IO] TryCopyFile" + where + " thread=" + tid);
    expected.push_back("[WARN] TryCopyFile failed" + where);
  }
  expected.push_back("[ERROR] TryCopyFile ultimately failed src=" + src + " dst=" + dst);
  EXPECT_EQ(tryLines, expected);

  Write(src, "now here");
  EXPECT_TRUE(TryCopyFile(src, dst, kFakeDisk));
  EXPECT_EQ(ReadAll(dst), "now here");
}

TEST_F(FileOperationsTest, ReadErrorMidCopyFailsAndLeavesNoShortenedFile) {
  const std::string src = Path("big.gr2");
  const std::string dst = Path("copy.gr2");
  Write(src, Pattern(300000));
  disk_.copyFile = [](const std::string&, const std::string&) { return false; };
  std::atomic<int> reads{0};
  disk_.read = [&reads](platform::File& file, void* buffer, std::size_t size) -> std::int64_t {
    return ++reads % 3 == 0 ? -1 : file.Read(buffer, size);
  };

  EXPECT_FALSE(FileCopyWithRetries(src, dst, 2, kFakeDisk));
  EXPECT_FALSE(Exists(dst));
  EXPECT_FALSE(TryCopyFile(src, dst, kFakeDisk));
  EXPECT_FALSE(Exists(dst));

  // A failing write is no better: the partial file goes too.
  disk_.read = [](platform::File& file, void* buffer, std::size_t size) { return file.Read(buffer, size); };
  std::atomic<int> writes{0};
  disk_.write = [&writes](platform::File& file, const void* data, std::size_t size) {
    return ++writes < 2 && file.Write(data, size);
  };
  EXPECT_FALSE(FileCopyWithRetries(src, dst, 1, kFakeDisk));
  EXPECT_FALSE(Exists(dst));
}

TEST_F(FileOperationsTest, OppositeCopiesOfTheSameFilesNeverDeadlockNorOverlap) {
  // "b.gr2" and "B.GR2" are one key (and one file on a case-folding layer).
  Write(Path("a.gr2"), Pattern(5000));
  Write(Path("b.gr2"), Pattern(5000));
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  disk_.copyFile = [&](const std::string& from, const std::string& to) {
    if (++inside > 1) ++overlaps;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    const bool copied = platform::CopyFileOverwrite(from, to);
    --inside;
    return copied;
  };
  std::atomic<int> failures{0};
  RunOrDie(
      [&] {
        std::thread forward([&] {
          for (int i = 0; i < 150; ++i)
            failures += !FileCopyWithRetries(Path("a.gr2"), Path("b.gr2"), 3, kFakeDisk);
        });
        std::thread backward([&] {
          for (int i = 0; i < 150; ++i)
            failures += !FileCopyWithRetries(Path("B.GR2"), Path("A.GR2"), 3, kFakeDisk);
        });
        forward.join();
        backward.join();
      },
      std::chrono::seconds(60));
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(overlaps, 0);
  EXPECT_TRUE(HoldsBytes(Path("a.gr2"), Pattern(5000)));
}

TEST_F(FileOperationsTest, PathKeysFoldCaseAndSlashesIntoOneLock) {
  EXPECT_EQ(PathLockKey("Z:/Client/Item\\A.GR2"), "z:\\client\\item\\a.gr2");
  EXPECT_EQ(GetPathLock(PathLockKey("Z:/x/Y.dds")), GetPathLock(PathLockKey("z:\\X\\y.DDS")));
  EXPECT_NE(GetPathLock("z:\\x\\y.dds"), GetPathLock("z:\\x\\z.dds"));
}

TEST_F(FileOperationsTest, NoMoreCopiesThanSlotsRunAtOnce) {
  const int limit = CopySlotLimit();
  const unsigned reported = std::thread::hardware_concurrency();
  EXPECT_EQ(limit, static_cast<int>(std::min(reported == 0 ? 2u : reported, 4u)));

  std::atomic<int> inside{0};
  std::atomic<int> most{0};
  disk_.copyFile = [&](const std::string&, const std::string&) {
    const int now = ++inside;
    int seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    --inside;
    return true;
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 10; ++i) {
        const std::string name = Path("t" + std::to_string(t) + "_" + std::to_string(i));
        FileCopyWithRetries(name, name + ".out", 1, kFakeDisk);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_LE(most, limit);
  EXPECT_EQ(most, limit) << "eight threads never filled the slots";
}

TEST_F(FileOperationsTest, CopyOntoItselfKeepsTheFileAndReturns) {
  const std::string src = Path("Self.gr2");
  Write(src, Pattern(70000));
  RunOrDie(
      [&] {
        EXPECT_TRUE(FileCopyWithRetries(src, src, 3));
        EXPECT_TRUE(FileCopyWithRetries(src, Path("self.GR2"), 3));
        EXPECT_TRUE(TryCopyFile(Path("SELF.gr2"), src));
        EXPECT_FALSE(FileCopyWithRetries(Path("none.gr2"), Path("NONE.gr2"), 1, kFakeDisk));
      },
      std::chrono::seconds(30));
  EXPECT_TRUE(HoldsBytes(src, Pattern(70000)));
}

TEST_F(FileOperationsTest, CopyDirectoryRecursiveGoesOnPastAnUnreadableFile) {
  const std::string from = Path("npc\\");
  platform::CreateFolderWithParents(Path("npc\\sub\\deeper"));
  Write(Path("npc\\a.msm"), "a");
  Write(Path("npc\\sub\\b.gr2"), "b");
  Write(Path("npc\\sub\\locked.dds"), "secret");
  Write(Path("npc\\sub\\deeper\\c.dds"), "c");
  disk_.copyFile = [](const std::string& src, const std::string& dst) {
    return src.find("locked") == std::string::npos && platform::CopyFileOverwrite(src, dst);
  };
  disk_.openForRead = [](const std::string& path) {
    return path.find("locked") == std::string::npos ? platform::File::OpenForRead(path) : platform::File();
  };

  EXPECT_FALSE(CopyDirectoryRecursive(from, Path("out\\npc/"), kFakeDisk));
  EXPECT_EQ(ReadAll(Path("out\\npc\\a.msm")), "a");
  EXPECT_EQ(ReadAll(Path("out\\npc\\sub\\b.gr2")), "b");
  EXPECT_EQ(ReadAll(Path("out\\npc\\sub\\deeper\\c.dds")), "c");
  EXPECT_FALSE(Exists(Path("out\\npc\\sub\\locked.dds")));
  // The unreadable file got its four attempts.
  EXPECT_EQ(disk_.sleeps, (std::vector<unsigned>{50, 100, 150, 200}));

  disk_.copyFile = platform::CopyFileOverwrite;
  disk_.openForRead = platform::File::OpenForRead;
  EXPECT_TRUE(CopyDirectoryRecursive(from, Path("again"), kFakeDisk));
  EXPECT_EQ(ReadAll(Path("again\\sub\\locked.dds")), "secret");
  EXPECT_FALSE(CopyDirectoryRecursive(Path("absent"), Path("x"), kFakeDisk));
}

TEST_F(FileOperationsTest, WriteFileCreatesFoldersAndWritesCrLf) {
  const std::string target = Path("new\\deep/group_snippet.txt");
  EXPECT_TRUE(WriteFile(target, "a\nb", kFakeDisk));
  EXPECT_EQ(ReadAll(target), "a\r\nb");
  EXPECT_TRUE(WriteFile(target, "Group\r\n{\n}\n", kFakeDisk));
  EXPECT_EQ(ReadAll(target), "Group\r\r\n{\r\n}\r\n");
  EXPECT_TRUE(WriteFile(target, "", kFakeDisk));
  EXPECT_EQ(ReadAll(target), "");
}

TEST_F(FileOperationsTest, WriteFileRetriesAndDoesNotReportAFailedWrite) {
  const std::string target = Path("snippet.txt");
  disk_.write = [](platform::File&, const void*, std::size_t) { return false; };
  DebugLogCapture log;
  EXPECT_FALSE(WriteFile(target, "content\n", kFakeDisk));
  EXPECT_FALSE(Exists(target));
  EXPECT_EQ(disk_.sleeps, (std::vector<unsigned>{40, 80, 120}));
  EXPECT_EQ(log.Lines().back(), "[ERROR] WriteFile ultimately failed path=" + target);

  std::atomic<int> opens{0};
  disk_.write = [](platform::File& f, const void* d, std::size_t n) { return f.Write(d, n); };
  disk_.createForWrite = [&opens](const std::string& path) {
    return ++opens < 3 ? platform::File() : platform::File::CreateForWrite(path);
  };
  disk_.sleeps.clear();
  EXPECT_TRUE(WriteFile(target, "x", kFakeDisk));
  EXPECT_EQ(disk_.sleeps, (std::vector<unsigned>{40, 80}));
}

TEST_F(FileOperationsTest, CreateRecursiveDirectoryMakesParentsAndGivesUpUnderAFile) {
  EXPECT_TRUE(CreateRecursiveDirectory("", kFakeDisk));
  EXPECT_TRUE(CreateRecursiveDirectory(Path("x\\y/z"), kFakeDisk));
  EXPECT_NE(platform::GetFileAttributes(Path("x\\y\\z")) & platform::kAttributeDirectory, 0u);
  EXPECT_TRUE(CreateRecursiveDirectory(Path("x\\y\\z"), kFakeDisk));
  EXPECT_TRUE(disk_.sleeps.empty());

  Write(Path("plain.txt"), "file");
  DebugLogCapture log;
  EXPECT_FALSE(CreateRecursiveDirectory(Path("plain.txt\\sub"), kFakeDisk));
  EXPECT_EQ(disk_.sleeps, (std::vector<unsigned>{50, 100, 150}));
  EXPECT_EQ(log.Lines().back(),
            "[ERROR] CreateRecursiveDirectory failed after retries: " + Path("plain.txt\\sub"));
}

TEST(FormatWinErrorTest, EmptyForZeroSystemTextOtherwise) {
  EXPECT_EQ(FormatWinError(0), "");
  const std::string known = FormatWinError(2);
  EXPECT_FALSE(known.empty());
  EXPECT_NE(known.back(), '\n');
  EXPECT_NE(known.back(), '\r');
  EXPECT_EQ(FormatWinError(987654321u).rfind("Unknown error", 0), 0u) << FormatWinError(987654321u);
}

}  // namespace
