// What the background update check found, read by the window every frame.
#pragma once

#include <atomic>
#include <string>

// The three texts are written before updateAvailable is raised (release) and read only after it
// was seen raised (acquire); the flag is never cleared.
struct UpdateInfo {
  std::string latestVersion;
  std::string downloadUrl;
  std::string releaseNotes;
  std::string sha256;  // of the download, lower-case hex; empty when the server named none
  std::atomic<bool> updateAvailable{false};
};

UpdateInfo& GetUpdateInfo();

// Called once by the update check when the server names another version.
void PublishUpdate(const std::string& latestVersion, const std::string& downloadUrl,
                   const std::string& releaseNotes, const std::string& sha256 = std::string());

// VINTREL_DEV set to exactly "1": no update check.
bool DevModeEnabled();
