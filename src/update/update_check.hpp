// The update check, run once on a background thread at start-up, and the self-update behind
// "DOWNLOAD & REBOOT".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The server's JSON reply: {"latest": "...", "url": "...", "notes": "...", "sha256": "..."}.
struct UpdateReply {
  bool valid = false;
  std::string error;   // the parser's text when the reply is not valid
  std::string latest;  // trimmed; "0.0.0" when missing or not a string
  std::string url;
  std::string notes;
  std::string sha256;  // lower-case hex of the download; empty when the reply names none
};
UpdateReply ParseUpdateReply(const std::string& body);

// VINTREL_UPDATE_URL when set, else the address built in; empty when there is none.
std::string UpdateEndpoint();
std::string RunningVersion();

// Asks the endpoint and publishes a version other than the running one (UpdateInfo).
void CheckUpdateAsync();

// Downloads `url` to `destination`; a non-empty `expectedSha256` must match the body. Failures are
// logged to the window; false then and nothing is written.
bool DownloadUpdate(const std::string& url, const std::string& expectedSha256,
                    const std::string& destination);

// The detached process that waits for this one to end, puts the download in place of the
// executable and starts it.
struct SwapCommand {
  std::string program;
  std::vector<std::string> arguments;
  std::string workingFolder;
};
SwapCommand BuildSwapCommand(const std::string& executable, const std::string& downloaded,
                             std::uint64_t processId);
// The cmd.exe command of the Windows swap, paths spliced in (Windows names cannot hold a quote).
std::string CmdSwapCommand(const std::string& executable, const std::string& downloaded);

// Downloads, starts the swap and ends the process; returns only when that failed.
void RunSelfUpdate();
