#include "convert/model_converter.hpp"

#include <cstdint>

#include "convert/gltf_writer.hpp"
#include "convert/texture_converter.hpp"
#include "granny2/gr2_container.hpp"
#include "granny2/gr2_mesh_reader.hpp"
#include "platform/platform.hpp"
#include "support/bounded_read.hpp"
#include "support/client_paths.hpp"
#include "support/contained_path.hpp"
#include "support/export_files.hpp"
#include "support/file_operations.hpp"

namespace {

// Regular files only, and none larger than a model or texture can sensibly be.
bool ReadSource(const std::string& path, std::string& bytes, std::string& reason) {
  return ReadBoundedFile(path, granny2::kMaxFileBytes, bytes, reason);
}

std::string FindTexture(const std::string& fromFileName, const std::string& modelPath) {
  const std::string name = FileNameOf(fromFileName);
  if (name.empty()) return std::string();
  if (!GetPathSettings().clientRoot.empty()) {
    const std::string found = ResolveSource(StripGameRootPrefix(fromFileName), name);
    if (!found.empty() && FileExists(found)) return found;
  }
  const std::string beside = JoinUnderRoot(FolderPartOf(modelPath), name);
  return !beside.empty() && FileExists(beside) ? beside : std::string();
}

bool ConvertModel(const std::string& source, const std::string& bytes, std::string& glb,
                  std::string& reason) {
  granny2::ModelContent content;
  if (!granny2::ReadGr2Content(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), content,
                               reason))
    return false;
  TexturePngs pngs;
  for (const granny2::Material& material : content.materials) {
    if (material.diffuseTexture.empty() || pngs.count(material.diffuseTexture)) continue;
    // A texture that cannot be found or read leaves the material without one, not the model unconverted.
    std::string& png = pngs[material.diffuseTexture];
    const std::string path = FindTexture(material.diffuseTexture, source);
    std::string textureBytes, ignored;
    RgbaImage image;
    if (!path.empty() && ReadSource(path, textureBytes, ignored) &&
        DecodeTexture(textureBytes, image, ignored))
      png = EncodePng(image);
  }
  glb = WriteGlb(content, pngs);
  return true;
}

}  // namespace

std::string ConvertedName(const std::string& fileName) {
  const std::string extension = ToLowerCopy(ExtensionOf(fileName));
  const std::string stem = fileName.substr(0, fileName.size() - extension.size());
  if (extension == ".gr2") return stem + ".glb";
  if (extension == ".dds" || extension == ".tga") return stem + ".png";
  return std::string();
}

ConversionResult ConvertFile(const std::string& source, const std::string& destination) {
  ConversionResult result;
  const std::string extension = ToLowerCopy(ExtensionOf(source));
  std::string bytes, converted;
  if (extension != ".gr2" && extension != ".dds" && extension != ".tga") {
    result.reason = "not a .gr2, .dds or .tga file";
    return result;
  }
  if (!ReadSource(source, bytes, result.reason)) return result;
  if (extension == ".gr2") {
    if (!ConvertModel(source, bytes, converted, result.reason)) return result;
  } else {
    RgbaImage image;
    if (!DecodeTexture(bytes, image, result.reason)) return result;
    converted = EncodePng(image);
    if (converted.empty()) {
      result.reason = "cannot encode the PNG";
      return result;
    }
  }
  if (!WriteFileAtomically(destination, converted)) {
    result.reason = "cannot write " + destination;
    return result;
  }
  result.ok = true;
  result.output = destination;
  return result;
}

bool ConvertExportedFile(const std::string& path, std::string& reason) {
  const ConversionResult result = ConvertBesideSource(path);
  reason = result.reason;
  return result.ok;
}

ConversionResult ConvertBesideSource(const std::string& path) {
  const std::string name = ConvertedName(FileNameOf(path));
  if (name.empty()) return {false, std::string(), "not a .gr2, .dds or .tga file"};
  const std::string destination = JoinUnderRoot(FolderPartOf(path), name);
  if (destination.empty()) return {false, std::string(), "refused destination beside " + path};
  return ConvertFile(path, destination);
}
