#include "support/export_files.hpp"

#include "log/console.hpp"
#include "log/debug_log.hpp"
#include "support/client_file_index.hpp"
#include "support/client_paths.hpp"
#include "support/contained_path.hpp"
#include "support/export_journal.hpp"
#include "support/file_operations.hpp"
#include "support/link_guard.hpp"
#include "support/mirror_root.hpp"

std::string FolderPartOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string ResolveSource(const std::string& rel, const std::string& name) {
  // A data path may name a link directly, without the index: it must not lead out of the client.
  if (FileExists(rel)) {
    const std::string path = ResolveClientPath(rel);
    return InsideClientRoot(path) ? path : std::string();
  }
  const std::string cleaned = CleanPathValue(rel);
  const std::size_t cut = cleaned.find_last_of("\\/");
  const std::string folderHint = cut == std::string::npos ? cleaned : cleaned.substr(0, cut);
  std::string resolved = Resolve(folderHint, name);
  if (resolved.empty()) resolved = FindByName(name);
  return resolved;
}

std::string ResolveEffectFile(const std::string& reference, const std::string& scriptFile) {
  const std::string rel = StripGameRootPrefix(reference);
  const std::string name = FileNameOf(rel);
  if (name == rel && !scriptFile.empty()) {
    // Effect scripts name their own textures without a folder; a same-named file elsewhere is another one.
    const std::string beside = JoinUnderRoot(FolderPartOf(scriptFile), name);
    if (!beside.empty() && FileExists(beside) && InsideClientRoot(beside)) return beside;
  }
  return ResolveSource(rel, name);
}

CopyOutcome CopyBelowRoot(const std::string& source, const std::string& root, const std::string& rel,
                          const std::string& mkdirOp, const std::string& copyOp) {
  const std::string dest = JoinUnderRoot(root, rel);
  if (dest.empty()) {
    RecordRefusedPath(rel);
    return CopyOutcome::Outside;
  }
  const std::string parent = FolderPartOf(dest);
  if (!parent.empty()) {
    if (!mkdirOp.empty()) SetLastOp(mkdirOp + parent);
    CreateRecursiveDirectory(parent);
  }
  // Again right before the copy: a link may have been swapped in since the source was found.
  if (!InsideClientRoot(source)) return CopyOutcome::Failed;
  SetLastOp(copyOp + source + "->" + dest);
  return TryCopyFile(source, dest) ? CopyOutcome::Copied : CopyOutcome::Failed;
}

void CopyToMirror(const std::string& source, const std::string& rel) {
  const std::string dest = MirrorDestination(rel);
  // Its refusal was logged by the copy below the export folder just before.
  const std::string& clientRoot = GetPathSettings().clientRoot;
  if (dest.empty() || (!clientRoot.empty() && !ResolvesInside(source, clientRoot))) return;
  const std::string parent = FolderPartOf(dest);
  if (!parent.empty()) CreateRecursiveDirectory(parent);
  TryCopyFile(source, dest);
}

void ReportOk(const std::string& text) {
  PrintOk(text);
  LogLine("[INFO] " + text);
}

void ReportWarn(const std::string& text) {
  PrintWarn(text);
  LogLine("[WARN] " + text);
}

void ReportErr(const std::string& text) {
  PrintErr(text);
  LogLine("[ERROR] " + text);
}

DataFileOutcome ExportDataFile(const DataFileKind& kind, const std::string& rel, const std::string& shown,
                               const std::string& notFound, const std::string& folder) {
  const std::string resolved = ResolveSource(rel, FileNameOf(rel));
  if (resolved.empty() || !FileExists(resolved)) {
    ReportWarn(notFound);
    return DataFileOutcome::NotFound;
  }
  const DataFileOutcome outcome = CopyFoundDataFile(kind, resolved, rel, shown, folder);
  if (outcome != DataFileOutcome::Outside) CopyToMirror(resolved, rel);
  return outcome;
}

DataFileOutcome CopyFoundDataFile(const DataFileKind& kind, const std::string& source, const std::string& rel,
                                  const std::string& shown, const std::string& folder) {
  switch (CopyBelowRoot(source, folder, rel, kind.mkdirOp, kind.copyOp)) {
    case CopyOutcome::Copied:
      ReportOk(std::string("Copied ") + kind.label + shown + " -> " + JoinUnderRoot(folder, rel));
      return DataFileOutcome::Copied;
    case CopyOutcome::Failed:
      ReportWarn(std::string("Failed to copy ") + kind.label + shown + " from " + source);
      return DataFileOutcome::Failed;
    case CopyOutcome::Outside:
      break;
  }
  ReportWarn("Refused path outside the export folder: " + rel);
  return DataFileOutcome::Outside;
}
