#include "pipeline/run_report.hpp"

#include <ctime>
#include <exception>
#include <mutex>

#include "filters/reference_folder.hpp"
#include "log/debug_log.hpp"
#include "log/gui_log.hpp"
#include "pipeline/task_table.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/export_journal.hpp"
#include "support/export_report.hpp"
#include "support/file_operations.hpp"
#include "support/mirror_root.hpp"
#include "support/stop_check.hpp"

namespace {

std::mutex reportMutex;
ReportRunInfo runInfo;
std::string taskFolder;
LastRunReport lastReport;
ExportConverter exportConverter = nullptr;

std::string Now() { return platform::FormatLocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S"); }

bool IsConvertible(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  return extension == ".gr2" || extension == ".dds" || extension == ".tga";
}

// Beside every exported model and texture its open-format twin; one that cannot be made is a
// warning, never a failed run.
void ConvertExported(ExportConverter converter) {
  for (const std::string& file : JournalWrittenFiles()) {
    if (StopRequested()) return;
    if (!IsConvertible(file)) continue;
    std::string reason;
    if (!converter(file, reason))
      AddGuiLog("[WARN] Not converted: " + file + " (" + reason + ")", GuiLogWarning);
  }
}

void WriteReport(const std::string& path, const std::string& bytes) {
  if (!WriteFileAtomically(path, bytes)) AddGuiLog("[WARN] Cannot write report: " + path, GuiLogWarning);
}

}  // namespace

void SetExportConverter(ExportConverter converter) {
  std::lock_guard<std::mutex> lock(reportMutex);
  exportConverter = converter;
}

void BeginRunReport(const TaskInfo& task, const std::string& outputRoot, const RunOptions& options) {
  std::lock_guard<std::mutex> lock(reportMutex);
  const PathSettings& settings = GetPathSettings();
  runInfo = ReportRunInfo{};
  runInfo.version = VINTREL_VERSION;
  runInfo.clientRoot = settings.clientRoot;
  runInfo.outputRoot = outputRoot;
  runInfo.mirrorRoot = MirrorCopiesEnabled() ? settings.mirrorRoot : std::string();
  runInfo.referenceFolder = ActiveReferenceFolder();
  runInfo.startTime = Now();
  taskFolder = outputRoot + "\\" + task.taskFolder;
  StartJournal(task.label, taskFolder, options.dryRun);
}

void EndRunReport(const RunOptions& options, const std::string& outcome, const std::string& error) {
  try {
    ExportConverter converter = nullptr;
    {
      std::lock_guard<std::mutex> lock(reportMutex);
      converter = exportConverter;
    }
    if (options.convert && !options.dryRun && outcome == "completed" && converter != nullptr) {
      ConvertExported(converter);
    }
    const ExportJournal journal = TakeJournal();
    std::lock_guard<std::mutex> lock(reportMutex);
    runInfo.endTime = Now();
    runInfo.outcome = outcome;
    runInfo.error = error;
    if (journal.plan) {
      for (const JournalBundle& bundle : journal.bundles) {
        for (const JournalFile& file : bundle.files) {
          AddGuiLog("PLAN: " + file.destination + " <- " + (file.source.empty() ? "(written)" : file.source),
                    GuiLogInfo);
        }
        for (const JournalFile& file : bundle.mirrorCopies) {
          AddGuiLog("PLAN: " + file.destination + " <- " + file.source, GuiLogInfo);
        }
      }
      for (const JournalFile& file : journal.otherFiles) {
        AddGuiLog("PLAN: " + file.destination + " <- " + (file.source.empty() ? "(written)" : file.source),
                  GuiLogInfo);
      }
    }
    const std::string json = ReportJson(journal, runInfo);
    std::string shownPath;
    lastReport = LastRunReport{};
    // A dry run leaves the output root as it was: its report goes only where the user asked.
    if (!journal.plan && FolderExists(taskFolder)) {
      shownPath = taskFolder + "\\export_report.json";
      lastReport.textReport = taskFolder + "\\export_report.txt";
      WriteReport(shownPath, json);
      WriteReport(lastReport.textReport, ReportText(journal, runInfo));
    }
    if (!options.reportFile.empty()) {
      WriteReport(options.reportFile, json);
      if (shownPath.empty()) shownPath = options.reportFile;
    }
    lastReport.summary = SummaryLine(TotalsOf(journal), shownPath);
    AddGuiLog(lastReport.summary, GuiLogInfo);
  } catch (const std::exception& e) {
    LogException("EndRunReport", e);
  } catch (...) {
    LogException("EndRunReport");
  }
}

LastRunReport GetLastRunReport() {
  std::lock_guard<std::mutex> lock(reportMutex);
  return lastReport;
}
