// Export of one race-script group: its folder below the task folder with the group's script text,
// model, effect files and textures, plus one summary record per group in debug.log.
#pragma once

#include <cstdint>
#include <string>

#include "readers/msm_parser.hpp"

class FileExporter {
 public:
  // Writes below PathSettings::outputRoot\<script>\<groupType>\<groupName>\ and mirrors textures
  // and effect files below PathSettings::mirrorRoot (not when it is empty). Reads the run's stop
  // flag before each step. Never throws; every failure is a log line.
  static void ExportGroup(const MsmGroupRecord& record);
};

// The summary record of one group, one line of debug.log:
// {"object":"..","type":"..","msm":"..","gr2":"..","mde_copied":N,...,"status":"..."[,"error":"..."]}
std::string FormatExportRecord(const MsmGroupRecord& record, const std::string& status,
                               std::int32_t mdeCopied, std::int32_t texturesCopied, std::int32_t ddsCopied,
                               std::int32_t warnings, const std::string& error);
void LogExportRecord(const MsmGroupRecord& record, const std::string& status, std::int32_t mdeCopied,
                     std::int32_t texturesCopied, std::int32_t ddsCopied, std::int32_t warnings,
                     const std::string& error);

// The folder name of a script: its file name without a final ".msm" (exact case).
std::string ScriptBaseName(const std::string& msmPath);
