#include "update/update_info.hpp"

#include "platform/platform.hpp"

UpdateInfo& GetUpdateInfo() {
  static UpdateInfo* info = new UpdateInfo;
  return *info;
}

void PublishUpdate(const std::string& latestVersion, const std::string& downloadUrl,
                   const std::string& releaseNotes, const std::string& sha256) {
  UpdateInfo& info = GetUpdateInfo();
  if (info.updateAvailable.load(std::memory_order_acquire)) return;
  info.latestVersion = latestVersion;
  info.downloadUrl = downloadUrl;
  info.releaseNotes = releaseNotes;
  info.sha256 = sha256;
  info.updateAvailable.store(true, std::memory_order_release);
}

bool DevModeEnabled() { return platform::GetEnvironmentVariable("VINTREL_DEV").value_or("") == "1"; }
