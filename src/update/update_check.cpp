#include "update/update_check.hpp"

#include <cstdlib>
#include <exception>
#include <nlohmann/json.hpp>

#include "log/debug_log.hpp"
#include "log/gui_log.hpp"
#include "platform/platform.hpp"
#include "support/sha256.hpp"
#include "update/http_client.hpp"
#include "update/update_info.hpp"

namespace {

constexpr const char* kTag = "[CheckUpdateAsync] ";

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool IsSha256Hex(const std::string& text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string LastCharacters(const std::string& text, std::size_t count) {
  return text.size() > count ? text.substr(text.size() - count) : text;
}

}  // namespace

UpdateReply ParseUpdateReply(const std::string& body) {
  UpdateReply reply;
  try {
    const nlohmann::json document = nlohmann::json::parse(body);
    if (!document.is_object()) {
      reply.error = std::string("the reply is ") + document.type_name() + ", not an object";
      return reply;
    }
    const auto latest = document.find("latest");
    reply.latest =
        latest != document.end() && latest->is_string() ? Trimmed(latest->get<std::string>()) : "0.0.0";
    // Any other type of these members is an invalid reply; get<> throws with the library's text.
    if (document.contains("url")) reply.url = document["url"].get<std::string>();
    if (document.contains("notes")) reply.notes = document["notes"].get<std::string>();
    if (document.contains("sha256")) {
      reply.sha256 = LowerAscii(document["sha256"].get<std::string>());
      if (!IsSha256Hex(reply.sha256)) {
        reply.error = "\"sha256\" is not 64 hexadecimal digits";
        return reply;
      }
    }
  } catch (const nlohmann::json::exception& e) {
    reply.error = e.what();
    return reply;
  }
  reply.valid = true;
  return reply;
}

std::string UpdateEndpoint() {
  return platform::GetEnvironmentVariable("VINTREL_UPDATE_URL").value_or(VINTREL_UPDATE_ENDPOINT);
}

std::string RunningVersion() { return VINTREL_VERSION; }

void CheckUpdateAsync() {
  if (DevModeEnabled()) {
    AddGuiLog("[CheckUpdateAsync] Dev mode - skip update check", GuiLogInfo);
    return;
  }
  const std::string endpoint = UpdateEndpoint();
  if (endpoint.empty()) {
    AddGuiLog(std::string(kTag) + "No update address built in - skip update check", GuiLogInfo);
    return;
  }
  try {
    const std::string running = RunningVersion();
    std::uint32_t status = 0;
    const std::string body = HttpClient::Get(endpoint, status);
    if (status != 200 || body.empty()) {
      AddGuiLog(std::string(kTag) + "Update check failed (HTTP " + std::to_string(status) + ")", GuiLogError);
      return;
    }
    const UpdateReply reply = ParseUpdateReply(body);
    if (!reply.valid) {
      AddGuiLog(std::string(kTag) + "Invalid update reply: " + reply.error, GuiLogError);
      return;
    }
    AddGuiLog(std::string(kTag) + "Running " + running + ", latest " + reply.latest, GuiLogInfo);
    // No ordering of versions: whatever the server names, older ones too, is offered.
    if (reply.latest == running) {
      AddGuiLog("Vintrel is up to date.", GuiLogSuccess);
      return;
    }
    PublishUpdate(reply.latest, reply.url, reply.notes, reply.sha256);
    AddGuiLog("New version available: " + reply.latest, GuiLogSuccess);
  } catch (const std::exception& e) {
    // The check runs on a detached thread: an escaping exception would end the process.
    LogException("CheckUpdateAsync", e);
    AddGuiLog(std::string(kTag) + "Update check failed: " + e.what(), GuiLogError);
  }
}

bool DownloadUpdate(const std::string& url, const std::string& expectedSha256,
                    const std::string& destination) {
  std::uint32_t status = 0;
  const std::string body = HttpClient::Get(url, status);
  AddGuiLog("Download: " + LastCharacters(url, 30), GuiLogInfo);
  if (status != 200 || body.empty()) {
    AddGuiLog("Download failed (HTTP " + std::to_string(status) + ")", GuiLogError);
    return false;
  }
  // The file is run next: one that is not the published build never reaches the disk.
  if (!expectedSha256.empty()) {
    const std::string actual = Sha256Hex(body.data(), body.size());
    if (actual != expectedSha256) {
      AddGuiLog("Download checksum mismatch: expected " + expectedSha256 + ", got " + actual, GuiLogError);
      return false;
    }
  }
  platform::File file = platform::File::CreateForWrite(destination);
  if (!file.IsOpen()) {
    AddGuiLog("Cannot Create: " + destination, GuiLogError);
    return false;
  }
  const bool written = file.Write(body.data(), body.size());
  file.Close();
  if (!written || platform::GetFileAttributes(destination) == platform::kInvalidAttributes) {
    AddGuiLog("Invalid File After Download", GuiLogError);
    return false;
  }
  AddGuiLog("Download OK: " + std::to_string(body.size()) + " bytes", GuiLogSuccess);
  return true;
}

std::string CmdSwapCommand(const std::string& executable, const std::string& downloaded) {
  return std::string("ping 127.0.0.1 -n 4 >nul && ") + "if exist \"" + executable + "\" del /f /q \"" +
         executable + "\" && " + "move /y \"" + downloaded + "\" \"" + executable + "\" && " +
         "start \"\" \"" + executable + "\"";
}

SwapCommand BuildSwapCommand(const std::string& executable, const std::string& downloaded,
                             std::uint64_t processId) {
  SwapCommand swap;
  const std::size_t slash = executable.find_last_of('\\');
  swap.workingFolder = slash == std::string::npos ? std::string(".\\") : executable.substr(0, slash + 1);
#ifdef _WIN32
  (void)processId;
  swap.program = "cmd.exe";
  swap.arguments = {"/c \"" + CmdSwapCommand(executable, downloaded) + "\""};
#else
  // The script is fixed text; the paths reach it only as positional parameters, so no name can
  // turn into a command. It waits (at most 30 s) for this process to end first.
  swap.program = "sh";
  swap.arguments = {"-c",
                    "i=0; while kill -0 \"$3\" 2>/dev/null && [ $i -lt 30 ]; do sleep 1; i=$((i+1)); done; "
                    "chmod +x -- \"$2\" && mv -f -- \"$2\" \"$1\" && exec \"$1\"",
                    "vintrel-update",
                    platform::ToNativePath(executable).value_or(executable),
                    platform::ToNativePath(downloaded).value_or(downloaded),
                    std::to_string(processId)};
#endif
  return swap;
}

void RunSelfUpdate() {
  AddGuiLog("Starting Auto-Update...", GuiLogSuccess);
  // The download is run next, so it never goes to a folder that other users can write to.
  const std::string userFolder = platform::UserDataFolder();
  const std::string executable = platform::ExecutablePath();
  if (userFolder.empty() || executable.empty()) {
    AddGuiLog("Download FAILED. Try Manually.", GuiLogError);
    return;
  }
  platform::CreateSingleFolder(userFolder + "updates");
  const std::string downloaded = userFolder + "updates\\Vintrel-new.exe";
  const UpdateInfo& info = GetUpdateInfo();
  if (!DownloadUpdate(info.downloadUrl, info.sha256, downloaded)) {
    AddGuiLog("Download FAILED. Try Manually.", GuiLogError);
    return;
  }
  const SwapCommand swap = BuildSwapCommand(executable, downloaded, platform::CurrentProcessId());
  if (!platform::StartDetachedProcess(swap.program, swap.arguments, swap.workingFolder)) {
    AddGuiLog("Error updater: " + std::to_string(platform::LastError()), GuiLogError);
    return;
  }
  AddGuiLog("Reboot in 3 seconds...", GuiLogSuccess);
  platform::SleepMilliseconds(2500);
  LogLine("[STOP] Exiting for the update");
  StopLogWriter();
  std::_Exit(0);
}
