#include "exporters/map_object_exporter.hpp"

#include <cstdio>

#include "log/console.hpp"
#include "log/gui_log.hpp"
#include "log/held_output.hpp"
#include "platform/platform.hpp"
#include "readers/effect_script_reader.hpp"
#include "readers/property_reader.hpp"
#include "support/client_file_index.hpp"
#include "support/client_paths.hpp"
#include "support/contained_path.hpp"
#include "support/export_files.hpp"
#include "support/export_journal.hpp"
#include "support/granny_analyzer.hpp"
#include "support/mirror_root.hpp"

namespace {

// The per-object report on standard output. On a terminal a line redrawn in place (the command
// line's counts) is cleared first, and game data cannot send escape sequences.
void Say(const std::string& text) {
  std::string out = platform::StandardOutputIsTerminal() ? "\r\033[K" + TerminalSafeText(text) : text;
  out += '\n';
  EmitInTurn([out] { std::fwrite(out.data(), 1, out.size(), stdout); });
}

// Some objects name themselves with an asset's extension ("v1.mse"); their property and effect
// files carry the bare stem.
std::vector<std::string> LookupStems(const std::string& name) {
  std::vector<std::string> stems{name};
  const std::string extension = ToLowerCopy(ExtensionOf(name));
  for (const char* known : {".gr2", ".mse", ".mde", ".prb", ".pre"}) {
    if (extension == known && name.size() > extension.size()) {
      stems.push_back(name.substr(0, name.size() - extension.size()));
    }
  }
  return stems;
}

std::vector<std::string> FilesOfObject(const std::string& name, const std::string& extension) {
  std::vector<std::string> files;
  std::set<std::string> seen;
  for (const std::string& stem : LookupStems(name)) {
    for (const std::string& file : FindFilesByStem(stem, extension)) {
      if (seen.insert(file).second) files.push_back(file);
    }
  }
  return files;
}

// Where a listed file goes below the object folder: a client file at its place relative to the
// client root, a game path without the game root prefix.
std::string CopyPathOf(const std::string& path) {
  const std::string& root = GetPathSettings().clientRoot;
  if (!root.empty() && path.size() > root.size() &&
      ToLowerCopy(path.substr(0, root.size())) == ToLowerCopy(root)) {
    return path.substr(root.size());
  }
  return StripGameRootPrefix(path);
}

// The mirror holds the game's own layout: a client file below a "ymir work" folder goes to its
// place below that folder.
std::string MirrorPathOf(const std::string& rel) {
  const std::string lower = ToLowerCopy(rel);
  const std::string folder = "ymir work\\";
  for (std::size_t at = lower.find(folder); at != std::string::npos; at = lower.find(folder, at + 1)) {
    if (at == 0 || lower[at - 1] == '\\') return rel.substr(at + folder.size());
  }
  return rel;
}

std::string SourceOf(const std::string& path) {
  const std::string rel = CopyPathOf(path);
  const std::string source = ResolveSource(rel, FileNameOf(rel));
  return !source.empty() && FileExists(source) ? source : std::string();
}

// A bare name in an effect script is the file beside the script; kept as that client file.
std::string BesideScript(const std::string& entry, const std::string& script) {
  const std::string rel = StripGameRootPrefix(entry);
  if (FileNameOf(rel) != rel) return entry;
  const std::string found = ResolveEffectFile(entry, script);
  return found.empty() ? entry : found;
}

bool ReadEffectScript(const std::string& script, MapObject& object, MseRecord& record) {
  record = ParseMse(script);
  if (!record.ok) return false;
  for (const std::string& mesh : record.meshFiles) object.meshFiles.push_back(BesideScript(mesh, script));
  for (const std::string& texture : record.textureFiles) {
    object.effectTextures.push_back(BesideScript(texture, script));
  }
  return true;
}

void ReadModel(MapObject& object) {
  const std::string model = SourceOf(object.gr2Path);
  if (model.empty()) {
    Say("  -> GR2 not found: " + ResolveClientPath(object.gr2Path));
    return;
  }
  for (const GrannyTexture& texture : GrannyAnalyzer::Analyze(model).textures) {
    object.gr2Textures.push_back(texture.fileName);
  }
  Say("  -> GR2: " + FileNameOf(model) + " (" + std::to_string(object.gr2Textures.size()) + " textures)");
}

void ReadEffects(MapObject& object) {
  // Client files of the scripts read, lower-cased: a .pre's script found again by name is not read twice.
  std::set<std::string> scriptsRead;
  for (const std::string& pre : FilesOfObject(object.name, ".pre")) {
    object.prePath = pre;
    const PreRecord record = ParsePre(pre);
    if (!record.found || record.effectFile.empty()) continue;
    object.effectFiles.push_back(record.effectFile);
    Say("  -> PRE found: " + FileNameOf(pre));
    const std::string script = SourceOf(record.effectFile);
    if (!script.empty()) scriptsRead.insert(ToLowerCopy(script));
    MseRecord mse;
    if (ReadEffectScript(script.empty() ? record.effectFile : script, object, mse)) {
      Say("  -> MSE: " + FileNameOf(record.effectFile) + " (" + std::to_string(mse.meshFiles.size()) +
          " MDE, " + std::to_string(mse.textureFiles.size()) + " textures)");
    }
  }
  for (const std::string& script : FilesOfObject(object.name, ".mse")) {
    if (!scriptsRead.insert(ToLowerCopy(script)).second) continue;
    object.effectFiles.push_back(script);
    MseRecord mse;
    ReadEffectScript(script, object, mse);
  }
}

std::string CopyKey(const std::string& source, const std::string& dest) {
  return ToLowerCopy(source + "|" + dest);
}

// Copies source to folder\rel unless this run already did; true when the file is there.
bool CopyOnce(const std::string& source, const std::string& folder, const std::string& rel,
              MapObjectCopies& copies, std::size_t object) {
  const std::string dest = JoinUnderRoot(folder, rel);
  if (dest.empty()) {
    RecordRefusedPath(rel);
    ReportWarn("Refused path outside the export folder: " + rel);
    return false;
  }
  const std::string key = CopyKey(source, dest);
  if (!copies.Begin(key, dest, object)) return true;
  if (CopyBelowRoot(source, folder, rel, "", "copy_map:") != CopyOutcome::Copied) return false;
  copies.Made(key);
  return true;
}

void MirrorOnce(const std::string& source, const std::string& rel, MapObjectCopies& copies,
                std::size_t object) {
  const std::string dest = MirrorDestination(MirrorPathOf(rel));
  if (dest.empty()) return;
  const std::string key = CopyKey(source, dest);
  if (!copies.Begin(key, dest, object)) return;
  // Taken when tried: a mirror copy that fails is not tried again.
  copies.Made(key);
  CopyToMirror(source, MirrorPathOf(rel));
}

// The files of one object folder, each listed path taken once.
class ObjectFolder {
 public:
  ObjectFolder(const std::string& folder, MapObjectCopies& copies, std::size_t object)
      : folder_(folder), copies_(copies), object_(object) {}

  void Copy(const MapObjectFile& file) {
    if (file.plain) {
      CopyOnce(file.source, folder_, file.rel, copies_, object_);
      Say(file.line);
      return;
    }
    if (taken_.count(file.path) != 0) return;
    if (file.source.empty()) {
      RecordMissingReference(file.path, file.namedBy);
      return;
    }
    const bool copied = CopyOnce(file.source, folder_, file.rel, copies_, object_);
    if (file.mirror) MirrorOnce(file.source, file.rel, copies_, object_);
    if (!copied) return;
    taken_.insert(file.path);
    ++counted_;
    if (file.tag != nullptr) Say(std::string("  [") + file.tag + "] " + file.rel);
  }

  int Counted() const { return counted_; }

 private:
  const std::string& folder_;
  MapObjectCopies& copies_;
  const std::size_t object_;
  std::set<std::string> taken_;
  int counted_ = 0;
};

MapObjectFile Listed(const std::string& path, bool mirror, const char* tag, const char* namedBy) {
  MapObjectFile file;
  file.path = path;
  file.source = SourceOf(path);
  file.rel = CopyPathOf(path);
  file.mirror = mirror;
  file.tag = tag;
  file.namedBy = namedBy;
  return file;
}

MapObjectFile Plain(const std::string& source, const std::string& name, const std::string& line) {
  MapObjectFile file;
  file.plain = true;
  file.source = source;
  file.rel = name;
  file.line = line;
  return file;
}

}  // namespace

std::vector<std::string> FindFilesByStem(const std::string& stem, const std::string& extension) {
  return GetClientFileIndex().FindAllByName(stem + extension);
}

MapObject BuildMapObject(const std::string& prbPath) {
  MapObject object;
  object.prbPath = prbPath;
  const PrbRecord prb = ParsePrb(prbPath);
  if (!prb.found) {
    object.error = "PRB Parse Failed: " + prb.error;
    return object;
  }
  object.name = prb.propertyName;
  object.type = prb.propertyType;
  object.shadowFlag = prb.shadowFlag;
  object.gr2Path = prb.buildingFile;
  Say("[MapObject] Processing: " + object.name + " (Type: " + object.type + ")");
  if (!object.gr2Path.empty()) ReadModel(object);
  ReadEffects(object);
  object.valid = true;
  return object;
}

std::string CategoryFolderOf(const std::string& type) {
  if (type == "Building") return "buildings";
  if (type == "Effect") return "effects";
  if (type == "Ambience") return "ambience";
  return "other";
}

MapObjectExport PlanMapObjectExport(const MapObject& object, const std::string& outputRoot) {
  MapObjectExport plan;
  plan.name = object.name;
  plan.prbPath = object.prbPath;
  const std::string category = outputRoot + "\\map_objects\\" + CategoryFolderOf(object.type);
  const std::string folder = JoinUnderRoot(category, object.name);
  if (folder.size() <= category.size()) return plan;
  plan.folder = folder;
  std::vector<MapObjectFile>& files = plan.files;
  if (!object.gr2Path.empty()) {
    files.push_back(Listed(object.gr2Path, false, "GR2", "model"));
    const std::string model = SourceOf(object.gr2Path);
    const std::string name = FileNameOf(object.gr2Path);
    if (!model.empty()) files.push_back(Plain(model, name, "  [GR2 ROOT] " + name + " (copy di comodo)"));
  }
  for (const std::string& texture : object.gr2Textures)
    files.push_back(Listed(texture, true, "TEX", "model texture"));
  for (const std::string& script : object.effectFiles)
    files.push_back(Listed(script, false, "MSE", "effect script"));
  for (const std::string& mesh : object.meshFiles) files.push_back(Listed(mesh, false, "MDE", "effect mesh"));
  for (const std::string& texture : object.effectTextures)
    files.push_back(Listed(texture, true, nullptr, "effect texture"));
  for (const auto& [path, tag] :
       {std::make_pair(&object.prbPath, "PRB"), std::make_pair(&object.prePath, "PRE")}) {
    if (path->empty() || !FileExists(*path)) continue;
    files.push_back(Plain(*path, FileNameOf(*path), std::string("  [") + tag + "] " + FileNameOf(*path)));
  }
  return plan;
}

std::vector<std::string> CopyDestinationsOf(const MapObjectExport& plan) {
  std::vector<std::string> destinations;
  if (plan.folder.empty()) return destinations;
  for (const MapObjectFile& file : plan.files) {
    if (file.source.empty()) continue;
    const std::string dest = JoinUnderRoot(plan.folder, file.rel);
    if (dest.empty()) continue;
    destinations.push_back(dest);
    const std::string mirror = file.mirror ? MirrorDestination(MirrorPathOf(file.rel)) : std::string();
    if (!mirror.empty()) destinations.push_back(mirror);
  }
  return destinations;
}

bool ExportMapObject(const MapObjectExport& plan, MapObjectCopies& copies, std::size_t object) {
  if (plan.folder.empty()) {
    RecordRefusedPath(plan.name);
    AddGuiLog("[WARN] Refused object name outside the export folder: " + plan.name, GuiLogWarning);
    return false;
  }
  if (!EnsureDirectory(plan.folder)) {
    ReportWarn("Cannot create folder: " + plan.folder);
    return false;
  }
  Say("[Export] " + plan.name);
  const JournalBundleScope bundle(plan.folder, plan.prbPath, 0);
  ObjectFolder files(plan.folder, copies, object);
  for (const MapObjectFile& file : plan.files) files.Copy(file);
  Say("  -> Total: " + std::to_string(files.Counted()) + " files");
  return files.Counted() > 0;
}

void MapObjectCopies::Claim(const std::vector<std::string>& destinations, std::size_t object) {
  std::lock_guard<std::mutex> lock(mutex_);
  AddClaims(writers_, destinations, object);
}

bool MapObjectCopies::Begin(const std::string& key, const std::string& destination, std::size_t object) {
  std::unique_lock<std::mutex> lock(mutex_);
  const std::string wanted = ToLowerCopy(destination);
  // Made already: nothing to wait for. Otherwise the objects before this one that write the same
  // destination go first, each to its end: they may make this very copy, or write the file from
  // another source, which this copy must then follow.
  changed_.wait(lock, [this, &key, &wanted, object] {
    return made_.count(key) != 0 || NoEarlierHolder(writers_, wanted, object);
  });
  return made_.count(key) == 0;
}

void MapObjectCopies::Made(const std::string& key) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    made_.insert(key);
  }
  changed_.notify_all();
}

void MapObjectCopies::Release(std::size_t object) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!DropClaims(writers_, object)) return;
  }
  changed_.notify_all();
}
