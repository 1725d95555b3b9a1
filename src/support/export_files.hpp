// What every exporter does with a path taken from game data: find the client file it names, copy it
// below the export folder and the mirror root without ever writing outside them, and report it.
#pragma once

#include <string>

// The client file that a data path (game path, relative or absolute) names: the path itself when it
// exists, else the client file index by folder hint and `name`, else by `name` alone. Empty when
// nothing is found or the path, its links followed, leads out of the client root.
std::string ResolveSource(const std::string& rel, const std::string& name);

// A file named inside an effect script: a bare file name (no folder) is looked up next to the
// script's client file `scriptFile` first, then like any data path (ResolveSource).
std::string ResolveEffectFile(const std::string& reference, const std::string& scriptFile);

// The folder part of a path (before its last "\" or "/"); empty when it has none.
std::string FolderPartOf(const std::string& path);

enum class CopyOutcome { Copied, Failed, Outside };

// Copies `source` to root\rel, creating the folders between. A `rel` that would leave `root` is
// refused (Outside) and nothing is written; a source outside the client root fails. `mkdirOp`
// (may be empty) and `copyOp` prefix the last-operation texts of the two steps.
CopyOutcome CopyBelowRoot(const std::string& source, const std::string& root, const std::string& rel,
                          const std::string& mkdirOp, const std::string& copyOp);

// The second copy of a found texture or effect file to the mirror root (when this run makes mirror
// copies); its outcome is not counted.
void CopyToMirror(const std::string& source, const std::string& rel);

// A line for the console and debug.log ("[INFO] ", "[WARN] ", "[ERROR] " there).
void ReportOk(const std::string& text);
void ReportWarn(const std::string& text);
void ReportErr(const std::string& text);

// How one kind of data file names itself in the report and in the last-operation texts.
struct DataFileKind {
  const char* label;    // "MDE ", "texture ", "DDS "
  const char* mkdirOp;  // empty: no last operation for the folder step
  const char* copyOp;
  const char* namedBy = "";  // for the report's missing references: "model texture", "icon", ...
};

enum class DataFileOutcome { NotFound, Copied, Failed, Outside };

// One data file: found in the client, copied to folder\rel, mirrored, and reported ("Copied ...",
// `notFound`, "Failed to copy ...", "Refused path outside the export folder: ..."). `shown`
// names it in the lines.
DataFileOutcome ExportDataFile(const DataFileKind& kind, const std::string& rel, const std::string& shown,
                               const std::string& notFound, const std::string& folder);

// The copy and report of ExportDataFile for a file already found (`source`), without the mirror copy.
DataFileOutcome CopyFoundDataFile(const DataFileKind& kind, const std::string& source, const std::string& rel,
                                  const std::string& shown, const std::string& folder);
