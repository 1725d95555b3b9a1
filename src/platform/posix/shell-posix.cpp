#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/platform.hpp"
#include "platform/posix/posix_support.hpp"

namespace platform {
namespace posix {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Between fork and exec only async-signal-safe calls are allowed: write the errno and leave.
[[noreturn]] void ExecOrReport(const char* path, char* const* argv, int nullInput, int reportFd,
                               const char* workingFolder = nullptr) {
  sigset_t all;
  sigemptyset(&all);
  sigprocmask(SIG_SETMASK, &all, nullptr);
  signal(SIGPIPE, SIG_DFL);
  if (nullInput >= 0) dup2(nullInput, STDIN_FILENO);
  if (workingFolder == nullptr || chdir(workingFolder) == 0) execv(path, argv);
  const int error = errno;
  ssize_t ignored = write(reportFd, &error, sizeof error);
  (void)ignored;
  _exit(127);
}

pid_t WaitFor(pid_t pid, int* exitStatus = nullptr) {
  int status = 0;
  pid_t result;
  do {
    result = waitpid(pid, &status, 0);
  } while (result < 0 && errno == EINTR);
  if (exitStatus != nullptr) *exitStatus = result == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Reads what ExecOrReport wrote: true, with errno set, when the program could not be started.
bool ExecFailed(int reportFd) {
  int error = 0;
  ssize_t got;
  do {
    got = read(reportFd, &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(reportFd);
  if (got != static_cast<ssize_t>(sizeof error)) return false;
  errno = error;
  return true;
}

}  // namespace

std::string FindInSearchPath(const std::string& name) {
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
  const char* path = std::getenv("PATH");
  const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t colon = folders.find(':', start);
    if (colon == std::string::npos) colon = folders.size();
    const std::string folder = colon > start ? folders.substr(start, colon - start) : std::string(".");
    const std::string candidate = folder + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    start = colon + 1;
  }
  return std::string();
}

bool RunProgram(const std::string& nativeExecutable, const std::vector<std::string>& arguments, bool wait,
                const std::string& nativeWorkingFolder) {
  std::vector<std::string> storage;
  storage.reserve(arguments.size() + 1);
  storage.push_back(nativeExecutable);
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);

  // The exec's failure travels back through a pipe that a successful exec closes.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  const int nullInput = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const char* workingFolder = nativeWorkingFolder.empty() ? nullptr : nativeWorkingFolder.c_str();

  const pid_t child = fork();
  if (child < 0) {
    const int error = errno;
    close(report[0]);
    close(report[1]);
    if (nullInput >= 0) close(nullInput);
    errno = error;
    return false;
  }
  if (child == 0) {
    close(report[0]);
    if (wait) ExecOrReport(argv[0], argv.data(), -1, report[1], workingFolder);
    // Detached: a new session, and a grandchild that init adopts once this child leaves.
    setsid();
    const pid_t grandchild = fork();
    if (grandchild == 0) ExecOrReport(argv[0], argv.data(), nullInput, report[1], workingFolder);
    if (grandchild < 0) {
      const int error = errno;
      ssize_t ignored = write(report[1], &error, sizeof error);
      (void)ignored;
    }
    _exit(0);
  }

  close(report[1]);
  if (nullInput >= 0) close(nullInput);
  const bool failed = ExecFailed(report[0]);
  const int error = errno;
  WaitFor(child);
  errno = error;
  return !failed;
}

}  // namespace posix

namespace {

std::string ExecutableFor(const std::string& nameOrPath) {
  // A bare name goes through $PATH; anything with a folder part is an internal path.
  if (nameOrPath.find_first_of("\\/:") == std::string::npos) return posix::FindInSearchPath(nameOrPath);
  const auto native = posix::ResolveNative(nameOrPath);
  return native ? *native : std::string();
}

bool LooksLikeAddress(const std::string& text) {
  return text.find("://") != std::string::npos || text.rfind("mailto:", 0) == 0;
}

}  // namespace

bool StartDetachedProcess(const std::string& executable, const std::vector<std::string>& arguments,
                          const std::string& workingFolder) {
  const std::string native = ExecutableFor(executable);
  const auto nativeFolder =
      workingFolder.empty() ? std::optional<std::string>("") : posix::ResolveNative(workingFolder);
  if (native.empty() || !nativeFolder) {
    errno = ENOENT;
    return false;
  }
  return posix::RunProgram(native, arguments, false, *nativeFolder);
}

ProgramOutput RunProgramForOutput(const std::string& executable, const std::vector<std::string>& arguments) {
  ProgramOutput result;
  const std::string native = ExecutableFor(executable);
  if (native.empty()) return result;
  std::vector<std::string> storage{native};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);

  int output[2];
  int report[2];
  if (pipe2(output, O_CLOEXEC) != 0) return result;
  if (pipe2(report, O_CLOEXEC) != 0) {
    close(output[0]);
    close(output[1]);
    return result;
  }
  const pid_t child = fork();
  if (child == 0) {
    dup2(output[1], STDOUT_FILENO);
    posix::ExecOrReport(argv[0], argv.data(), -1, report[1]);
  }
  close(output[1]);
  close(report[1]);
  if (child < 0) {
    close(output[0]);
    close(report[0]);
    return result;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(output[0], buffer, sizeof buffer);
    if (got > 0) {
      result.output.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  close(output[0]);
  result.started = !posix::ExecFailed(report[0]);
  posix::WaitFor(child, &result.exitCode);
  return result;
}

bool OpenInShell(const std::string& pathOrAddress) {
  std::string target = pathOrAddress;
  if (!LooksLikeAddress(pathOrAddress)) {
    const auto native = posix::ResolveNative(pathOrAddress);
    if (!native || access(native->c_str(), F_OK) != 0) return false;
    target = *native;
  }
  const std::string opener = posix::FindInSearchPath("xdg-open");
  if (opener.empty()) {
    errno = ENOENT;
    return false;
  }
  return posix::RunProgram(opener, {target}, false);
}

void ShowMessageBox(const std::string& title, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  std::fflush(stderr);
  // Without a display nobody could answer a dialog; the line above is all there is then.
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const bool display = (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
  if (!display) return;
  const std::string zenity = posix::FindInSearchPath("zenity");
  if (zenity.empty()) return;
  posix::RunProgram(zenity, {"--error", "--no-markup", "--title=" + title, "--text=" + text}, true);
}

}  // namespace platform
