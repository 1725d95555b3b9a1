#include "granny2/gr2_root_walk.hpp"

#include "granny2/gr2_type_walker.hpp"

namespace granny2 {

bool WalkRoot(const Container& container, RootSummary& out, std::string& error) {
  out = RootSummary{};
  TypeWalker w(container);
  const auto fail = [&] {
    error = w.error;
    return false;
  };
  const Location root = container.rootObject;
  if (root.section >= container.sectionData.size() ||
      root.offset > container.sectionData[root.section].size()) {
    error = "root object lies outside the sections";
    return false;
  }
  if (container.rootType.section >= container.sectionData.size()) {
    error = "root type lies outside the sections";
    return false;
  }

  std::optional<Member> textures;
  std::optional<Member> meshes;
  if (!w.FindMember(container.rootType, "Textures", textures) ||
      !w.FindMember(container.rootType, "Meshes", meshes)) {
    return fail();
  }
  std::vector<std::optional<Location>> elements;
  if (textures) {
    if (!w.ArrayElements(root, *textures, elements)) return fail();
    for (const auto& element : elements) {
      TextureEntry entry;
      if (element) {
        entry.present = true;
        if (!w.StringMember(*element, textures->definition, "FromFileName", entry.hasName,
                            entry.fromFileName)) {
          return fail();
        }
      }
      out.textures.push_back(std::move(entry));
    }
  }
  if (meshes) {
    if (!w.ArrayElements(root, *meshes, elements)) return fail();
    for (const auto& element : elements) {
      std::string name;
      bool found = false;
      if (element && !w.StringMember(*element, meshes->definition, "Name", found, name)) return fail();
      out.meshNames.push_back(std::move(name));
    }
  }
  return true;
}

bool ReadGr2(const std::uint8_t* data, std::size_t size, RootSummary& out, std::string& error) {
  Container container;
  if (!ReadContainer(data, size, container, error)) return false;
  return WalkRoot(container, out, error);
}

}  // namespace granny2
