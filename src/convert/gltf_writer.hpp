// A model's content as one binary glTF 2.0 file: a node that turns the art tool's axes and units into
// glTF's (Y up, metres), under it one node per model placement with its bone tree, static meshes beside;
// skinned meshes at the scene root, skinned to their bone bindings.
#pragma once

#include <map>
#include <string>

#include "granny2/gr2_mesh_reader.hpp"

// PNG bytes per texture FromFileName; a material whose texture is missing here gets no colour texture.
using TexturePngs = std::map<std::string, std::string>;

std::string WriteGlb(const granny2::ModelContent& content, const TexturePngs& textures);
