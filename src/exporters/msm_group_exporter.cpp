#include "exporters/msm_group_exporter.hpp"

#include <set>
#include <stdexcept>
#include <system_error>

#include "log/console.hpp"
#include "log/debug_log.hpp"
#include "platform/platform.hpp"
#include "readers/effect_script_reader.hpp"
#include "support/client_paths.hpp"
#include "support/contained_path.hpp"
#include "support/export_files.hpp"
#include "support/export_journal.hpp"
#include "support/file_operations.hpp"
#include "support/link_guard.hpp"
#include "support/stop_check.hpp"

namespace {

constexpr int kAttempts = 4;

struct Counters {
  std::int32_t mdeCopied = 0;
  std::int32_t texturesCopied = 0;
  std::int32_t ddsCopied = 0;
  std::int32_t warnings = 0;
};

std::string GroupFolderOf(const MsmGroupRecord& record) {
  return ScriptBaseName(record.msmPath) + "\\" + record.groupType + "\\" + record.groupName;
}

void WarnOutside(const std::string& rel, Counters& counters) {
  ReportWarn("Refused path outside the export folder: " + rel);
  ++counters.warnings;
}

const DataFileKind kEffectFile{"MDE ", "mkdir_mde_dest:", "copy_mde:", "effect mesh"};
const DataFileKind kModelTexture{"texture ", "", "copy_tex:", "model texture"};
const DataFileKind kScriptTexture{"DDS ", "", "copy_dds:", "script texture"};

// Counts one data file into the group's summary. False when it was not found. `reference` is the
// name as the data writes it.
bool ExportCounted(const DataFileKind& kind, const std::string& reference, const std::string& rel,
                   const std::string& shown, const std::string& notFound, const std::string& folder,
                   std::int32_t& copied, Counters& counters) {
  const DataFileOutcome outcome = ExportDataFile(kind, rel, shown, notFound, folder);
  if (outcome == DataFileOutcome::NotFound) RecordMissingReference(reference, kind.namedBy);
  if (outcome == DataFileOutcome::Copied) {
    ++copied;
  } else {
    ++counters.warnings;
  }
  return outcome != DataFileOutcome::NotFound;
}

void ExportEffectFiles(const MsmGroupRecord& record, const std::string& folder, Counters& counters) {
  for (const std::string& mesh : ReadMeshFileNames(record.snippet)) {
    if (StopRequested()) return;
    const std::string rel = StripGameRootPrefix(mesh);
    const std::string name = FileNameOf(rel);
    ExportCounted(kEffectFile, mesh, rel, name, "MDE not found: " + name + " (original: " + mesh + ")",
                  folder, counters.mdeCopied, counters);
  }
}

void ExportModelTextures(const MsmGroupRecord& record, const std::string& folder, Counters& counters,
                         std::set<std::string>& handled) {
  for (const GrannyTexture& texture : record.modelInfo.textures) {
    if (StopRequested()) return;
    const std::string rel = StripGameRootPrefix(texture.fileName);
    // A texture not found is not remembered, so the script's copy of the name is tried again.
    if (ExportCounted(kModelTexture, texture.fileName, rel, rel, "Texture not found: " + rel, folder,
                      counters.texturesCopied, counters)) {
      handled.insert(rel);
    }
  }
}

void ExportScriptTextures(const MsmGroupRecord& record, const std::string& folder, Counters& counters,
                          const std::set<std::string>& handled) {
  for (const std::string& value : record.ddsFiles) {
    if (StopRequested()) return;
    const std::string rel = StripGameRootPrefix(value);
    if (handled.count(rel) != 0) continue;
    ExportCounted(kScriptTexture, value, rel, rel, "DDS not found: " + rel, folder, counters.ddsCopied,
                  counters);
  }
}

// One pass over the group. Exceptions go to ExportGroup, which retries after a lock error.
void ExportOnce(const MsmGroupRecord& record) {
  if (StopRequested()) return;
  ReportOk("Exporting group: " + record.groupName + " (" + record.groupType + ") from MSM=" + record.msmPath);
  Counters counters;
  std::set<std::string> handledTextures;

  if (!record.modelInfo.error.empty()) {
    ReportWarn("Skipping group due to Granny analysis error: " + record.modelInfo.error);
    LogExportRecord(record, "skipped_granny_error", 0, 0, 0, 1, record.modelInfo.error);
    return;
  }

  const std::string& outputRoot = GetPathSettings().outputRoot;
  std::string folder = JoinUnderRoot(outputRoot, GroupFolderOf(record));
  if (StopRequested()) return;
  if (!folder.empty()) {
    SetLastOp("create_group_folder:" + folder);
  }
  if (folder.empty() || !EnsureDirectory(folder)) {
    if (folder.empty()) folder = outputRoot + "\\" + GroupFolderOf(record);
    const std::string message = "ERRORE: Impossibile creare cartella: " + folder;
    ReportErr(message);
    LogExportRecord(record, "error", 0, 0, 0, 1, message);
    return;
  }
  const JournalBundleScope bundle(folder, record.msmPath, record.sourceLine);

  const std::string snippetPath = folder + "\\group_snippet.txt";
  SetLastOp("write_snippet:" + snippetPath);
  if (WriteFile(snippetPath, record.snippet)) {
    ReportOk("Saved group_snippet for " + record.groupName);
  } else {
    ReportWarn("Unable to write snippet for " + record.groupName);
    counters.warnings = 1;
  }

  if (StopRequested()) return;
  const std::string& modelSource = record.modelInfo.gr2Path;
  if (modelSource.empty() || !FileExists(modelSource) || !InsideClientRoot(modelSource)) {
    ReportWarn("GR2 source missing or not found: " + modelSource);
    RecordMissingReference(record.modelPath, "model");
    ++counters.warnings;
  } else {
    const std::string modelName = FileNameOf(modelSource);
    const std::string dest = JoinUnderRoot(folder, modelName);
    if (dest.empty()) {
      RecordRefusedPath(modelName);
      WarnOutside(modelName, counters);
    } else {
      SetLastOp("copy_gr2:" + modelSource + "->" + dest);
      if (TryCopyFile(modelSource, dest)) {
        ReportOk("Copied GR2: " + modelName + " -> " + dest);
      } else {
        ReportWarn("Failed to copy GR2: " + modelSource + " to " + dest);
        ++counters.warnings;
      }
    }
  }

  if (StopRequested()) return;
  ExportEffectFiles(record, folder, counters);
  if (StopRequested()) return;
  ExportModelTextures(record, folder, counters, handledTextures);
  if (StopRequested()) return;
  ExportScriptTextures(record, folder, counters, handledTextures);
  if (StopRequested()) return;

  LogExportRecord(record, "ok", counters.mdeCopied, counters.texturesCopied, counters.ddsCopied,
                  counters.warnings, "");
  SetLastOp("");
}

}  // namespace

std::string ScriptBaseName(const std::string& msmPath) {
  std::string name = FileNameOf(msmPath);
  if (name.size() >= 5 && name.compare(name.size() - 4, 4, ".msm") == 0) name.resize(name.size() - 4);
  return name;
}

std::string FormatExportRecord(const MsmGroupRecord& record, const std::string& status,
                               std::int32_t mdeCopied, std::int32_t texturesCopied, std::int32_t ddsCopied,
                               std::int32_t warnings, const std::string& error) {
  std::string line =
      "{\"object\":\"" + record.groupName + "\",\"type\":\"" + record.groupType + "\",\"msm\":\"" +
      FileNameOf(record.msmPath) + "\",\"gr2\":\"" +
      (record.modelInfo.gr2Path.empty() ? std::string() : FileNameOf(record.modelInfo.gr2Path)) +
      "\",\"mde_copied\":" + std::to_string(mdeCopied) +
      ",\"textures_copied\":" + std::to_string(texturesCopied) +
      ",\"dds_copied\":" + std::to_string(ddsCopied) + ",\"warnings\":" + std::to_string(warnings) +
      ",\"status\":\"" + status + "\"";
  if (!error.empty()) {
    line += ",\"error\":\"";
    for (char c : error) {
      if (c == '"') line += '\\';
      line += c;
    }
    line += "\"";
  }
  line += "}";
  return line;
}

void LogExportRecord(const MsmGroupRecord& record, const std::string& status, std::int32_t mdeCopied,
                     std::int32_t texturesCopied, std::int32_t ddsCopied, std::int32_t warnings,
                     const std::string& error) {
  LogLine(FormatExportRecord(record, status, mdeCopied, texturesCopied, ddsCopied, warnings, error));
}

void FileExporter::ExportGroup(const MsmGroupRecord& record) {
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    try {
      ExportOnce(record);
      return;
    } catch (const std::system_error& e) {
      const std::string message = e.what();
      if (e.code() == std::errc::resource_deadlock_would_occur) {
        LogLine("[WARN] resource deadlock on attempt " + std::to_string(attempt) +
                " for group=" + record.groupName + " msg=" + message);
        PrintWarn("Transient filesystem locking issue, retrying (attempt " + std::to_string(attempt) + ")");
        if (attempt == kAttempts) {
          ReportErr("[FileExporter] Exception: " + message);
          LogExportRecord(record, "error", 0, 0, 0, 1, message);
          return;
        }
        platform::SleepMilliseconds(static_cast<unsigned>(attempt) * 100u);
        continue;
      }
      LogException("FileExporter::ExportGroup object=" + record.groupName, e);
      ReportErr("[FileExporter] Exception: " + message);
      return;
    } catch (const std::exception& e) {
      LogException("FileExporter::ExportGroup object=" + record.groupName + " msm=" + record.msmPath, e);
      ReportErr(std::string("[FileExporter] Exception: ") + e.what());
      return;
    } catch (...) {
      LogException("FileExporter::ExportGroup object=" + record.groupName + " msm=" + record.msmPath);
      PrintErr("[FileExporter] Unknown exception occurred for " + record.groupName);
      LogLine("[ERROR] Unknown exception in FileExporter for " + record.groupName);
      return;
    }
  }
}
