// Writes a large synthetic client for bench/run: race scripts, item lists, a shining table, an NPC
// list with its model folders, property files with their buildings and effects, and filler, in the
// shapes real clients have (CR LF, trailing tabs, upgrade levels sharing models, letter case of
// data paths unlike the disk's, files below "ymir work" folders that the data does not name).
// The same seed and size always give the same bytes.
// Usage: make_client OUTPUT [--seed N] [--files N]   (default seed 1, about 60,000 files)
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/gr2_writer.hpp"

namespace fs = std::filesystem;

namespace {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  std::uint64_t state_;
};

struct Totals {
  std::uint64_t files = 0;
  std::uint64_t bytes = 0;
};

fs::path g_root;
Totals g_totals;
std::vector<std::string> g_oodleModels;  // real Oodle1-compressed models beside the checkout

void Put(const std::string& relative, const std::string& bytes) {
  const fs::path path = g_root / relative;
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
    std::exit(1);
  }
  ++g_totals.files;
  g_totals.bytes += bytes.size();
}

std::string Number(const char* format, int value) {
  char text[64];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Data paths spell letter case their own way about one time in four.
std::string DataCase(Random& random, const std::string& path) {
  if (!random.Chance(25)) return path;
  const std::size_t slash = path.find_last_of('/');
  return random.Chance(50) ? Upper(path) : path.substr(0, slash + 1) + Upper(path.substr(slash + 1));
}

std::string Dds(Random& random) {
  const int side = 4 << random.Below(4);
  std::string bytes = "DDS ";
  bytes.resize(128, '\0');
  bytes[12] = static_cast<char>(side);
  bytes[16] = static_cast<char>(side);
  for (int i = 0; i < side * side / 2; ++i) bytes += static_cast<char>(random.Below(256));
  return bytes;
}

// A model naming `textures` as game paths; one in eight is a real Oodle1-compressed model instead.
std::string Model(Random& random, const std::vector<std::string>& textures) {
  if (!g_oodleModels.empty() && random.Below(8) == 0) {
    return g_oodleModels[static_cast<std::size_t>(random.Below(static_cast<int>(g_oodleModels.size())))];
  }
  Gr2WriteOptions options;
  options.version = random.Chance(50) ? 7 : 6;
  options.is64Bit = random.Chance(10);
  return BuildGr2(textures, 1 + random.Below(3), options);
}

std::string GamePath(Random& random, const std::string& rel) {
  static const char* const prefixes[] = {"d:/ymir work/", "D:\\Ymir Work\\", "D:/ymir work/"};
  std::string path = prefixes[random.Below(3)] + rel;
  if (path[2] == '\\') {
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
  }
  return path;
}

// Line ends as real files mix them.
std::string Ending(Random& random) { return random.Chance(90) ? "\r\n" : "\n"; }

const char* const kRaces[] = {"warrior_m", "warrior_w", "assassin_m", "assassin_w", "sura_m", "shaman_w"};

void MakeRaceScripts(Random& random, int groupsPerScript) {
  for (const char* race : kRaces) {
    const std::string folder = std::string("pc/") + race + "/";
    std::string script = "ScriptType\tRaceDataScript\r\n\r\nBaseModelFileName\t\"d:/ymir work/" + folder +
                         race + "_novice.gr2\"\r\n\r\n";
    for (const char* type : {"ShapeData", "HairData"}) {
      const int count = type[0] == 'S' ? groupsPerScript / 4 : groupsPerScript - groupsPerScript / 4;
      script += std::string("Group ") + type + "\r\n{\r\n\tPathName\t\"d:/ymir work/" + folder + "\"\r\n\r\n";
      script += std::string("\t") + type + "Count\t\t" + std::to_string(count) + "\r\n";
      for (int i = 0; i < count; ++i) {
        const std::string stem =
            std::string(race) + (type[0] == 'S' ? "_body_b" : "_hair_b") + Number("%05d", i);
        const std::string sub = type[0] == 'S' ? "" : "hair/";
        script += std::string("\tGroup ") + type + Number("%02d", i) + "\r\n\t{\r\n";
        script += std::string("\t\t") + (type[0] == 'S' ? "ShapeIndex" : "HairIndex") + "\t\t" +
                  std::to_string(i) + "\r\n";
        script += "\t\tModel\t\t\t\t\"" + DataCase(random, sub + stem + ".gr2") + "\"\r\n";
        script += "\t\tSourceSkin\t\t\t\"" + sub + stem + ".dds\"\r\n";
        script += "\t\tTargetSkin\t\t\t\"" +
                  DataCase(random, stem + (random.Chance(30) ? "_2" : "") + ".dds") + "\"\r\n";
        if (random.Chance(5))
          script += "\t\tMeshFileName\t\t\"d:/ymir work/effect/hair/glow_" + stem + ".mde\"\r\n";
        script += random.Chance(3) ? "\t}\r" : "\t}\r\n";
        // One group in three has its files in the client; the others only give their snippet.
        if (i % 3 != 0) continue;
        const std::string disk = "pack/ymir work/" + folder + sub + stem;
        const std::string texture =
            "D:\\Ymir Work\\pc\\" + std::string(race) + "\\" + (sub.empty() ? "" : "hair\\") + stem + ".dds";
        Put(disk + ".gr2", Model(random, {texture}));
        Put(disk + ".dds", Dds(random));
      }
      script += "}\r\n\r\n";
    }
    Put(std::string("locale/msm/") + race + ".msm", script);
  }
}

std::string ToLowerKind(const char* type) {
  const std::string t = type;
  if (t.rfind("WEAPON", 0) == 0) return "weapon";
  if (t == "WING") return "wing";
  return "armor";
}

void MakeItemList(Random& random, int lines) {
  static const char* const modelTypes[] = {"WEAPON", "WEAPON ", "ARMOR", "WING", "AURA"};
  std::string list;
  std::string shining = "# effects of the upgrade levels\r\n";
  for (int base = 0; base * 10 < lines; ++base) {
    const int number = 10000 + base * 10;
    const bool withModel = random.Chance(30);
    const char* type = withModel ? modelTypes[random.Below(5)] : (random.Chance(50) ? "ETC" : "ARMOR");
    const std::string icon = "icon/item/" + Number("%05d", number) + ".tga";
    std::string model;
    if (withModel && type[0] == 'A' && type[1] == 'U') {
      model = "d:/ymir work/effect/aura/aura_" + Number("%05d", number) + ".mse";
      Put("pack/ymir work/effect/aura/aura_" + Number("%05d", number) + ".mse",
          "EffectData\r\n{\r\n\tMeshFileName\t\"aura_" + Number("%05d", number) +
              ".mde\"\r\n\tList TextureFiles\r\n\t{\r\n\t\t\"aura.dds\"\r\n\t}\r\n}\r\n");
      Put("pack/ymir work/effect/aura/aura_" + Number("%05d", number) + ".mde", std::string(300, 'm'));
    } else if (withModel) {
      const std::string kind = ToLowerKind(type);
      const std::string rel = "item/" + kind + "/" + Number("%05d", number);
      model = GamePath(random, DataCase(random, rel + ".gr2"));
      Put("pack/ymir work/" + rel + ".gr2", Model(random, {"D:\\Ymir Work\\" + rel + ".dds"}));
      Put("pack/ymir work/" + rel + ".dds", Dds(random));
    }
    Put(icon, Dds(random));
    for (int level = 0; level < 10 && base * 10 + level < lines; ++level) {
      list += std::to_string(number + level) + "\t" + type + "\t" + icon;
      if (!model.empty()) list += "\t" + model;
      list += random.Chance(20) ? (random.Chance(50) ? "\t" : "\t\t") : "";
      list += Ending(random);
      if (withModel && level >= 7 && random.Chance(40)) {
        shining += std::to_string(number + level) + "\t\"d:/ymir work/effect/item/glow_" +
                   Number("%05d", number) + ".mse\"\r\n";
      }
    }
    if (shining.find(Number("glow_%05d", number)) != std::string::npos) {
      Put("pack/ymir work/effect/item/glow_" + Number("%05d", number) + ".mse",
          "EffectData\r\n{\r\n\tMeshFileName\t\"d:/ymir work/effect/item/glow.mde\"\r\n\tList "
          "TextureFiles\r\n"
          "\t{\r\n\t\t\"D:\\Ymir Work\\effect\\item\\tex\\glow.dds\"\r\n\t}\r\n}\r\n");
    }
  }
  Put("pack/ymir work/effect/item/glow.mde", std::string(400, 'g'));
  Put("pack/ymir work/effect/item/tex/glow.dds", Dds(random));
  Put("pack/ymir work/effect/aura/aura.dds", Dds(random));
  Put("locale/item_list.txt", list);
  Put("locale/shiningtable.txt", shining);
}

void MakeNpcList(Random& random, int entries) {
  std::string list = "# monsters and NPCs\r\n";
  for (int i = 0; i < entries; ++i) {
    const int id = 101 + i;
    // Some numbers share a folder; a few folders carry capitals on disk and in the list.
    const int folderNumber = random.Chance(15) ? i / 2 : i;
    std::string name = Number("mob_%04d", folderNumber);
    if (folderNumber % 17 == 0) name = Number("Guard_%04d_M", folderNumber);
    const bool season = folderNumber % 11 == 0;
    const std::string diskFolder = season ? "season1/monster/" + name : "pack/ymir work/monster/" + name;
    list += std::to_string(id) + "\t";
    if (random.Chance(10)) list += name + " \t";
    list += season ? "#season1/monster/" + name + "/" : name;
    list += random.Chance(40) ? "\t" : "";
    list += Ending(random);
    if (folderNumber != i) continue;
    const std::string lower = "d:\\ymir work\\monster\\" + name + "\\" + name + ".dds";
    Put(diskFolder + "/" + name + ".gr2", Model(random, {lower}));
    Put(diskFolder + "/" + name + ".dds", Dds(random));
    for (const char* motion : {"wait", "run", "attack"}) {
      Put(diskFolder + "/" + motion + ".msa",
          "ScriptType\tMotionData\r\nMotionFileName\t\"D:/Ymir Work/monster/" + name + "/" + motion +
              ".GR2\"\r\nMotionDuration\t1.0\r\n");
      Put(diskFolder + "/" + motion + ".gr2", Model(random, {}));
    }
  }
  Put("locale/npclist.txt", list);
}

void MakeProperties(Random& random, int count) {
  static const char* const areas[] = {"village", "forest", "desert", "snow", "castle", "dungeon"};
  int written = 0;
  for (int i = 0; written < count; ++i) {
    const std::string area = areas[i % 6];
    const std::string stem = Number("obj_%05d", i);
    const bool effect = i % 10 == 0;
    std::string name = random.Chance(25) ? Upper(stem.substr(0, 1)) + stem.substr(1) : stem;
    std::string prb =
        "YPRT\r\n" + std::to_string(1704170302 + i) + "\r\npropertyname\t\t\"" + name + "\"\r\n";
    if (effect) {
      prb += "propertytype\t\t\"Effect\"\r\neffectfile\t\t\"d:/ymir work/effect/zone/" + stem + ".mse\"\r\n";
      Put("pack/ymir work/effect/zone/" + stem + ".mse",
          "EffectData\r\n{\r\n\tMeshFileName\t\"" + stem + ".mde\"\r\n\tList TextureFiles\r\n\t{\r\n\t\t\"" +
              stem + ".dds\"\r\n\t}\r\n}\r\n");
      Put("pack/ymir work/effect/zone/" + stem + ".mde", std::string(200, 'e'));
      Put("pack/ymir work/effect/zone/" + stem + ".dds", Dds(random));
    } else {
      const std::string rel = "zone/" + area + "/" + stem;
      prb += "propertytype\t\t\"Building\"\r\nbuildingfile\t\t\"" +
             GamePath(random, DataCase(random, rel + ".gr2")) + "\"\r\nshadowflag\t\t\"1\"\r\n";
      Put("pack/ymir work/" + rel + ".gr2", Model(random, {"D:\\Ymir Work\\" + rel + ".dds"}));
      Put("pack/ymir work/" + rel + ".dds", Dds(random));
    }
    prb += "isattributedata\t\t\"0\"\r\n";
    // The same property file sits in two to four folders now and then.
    const int copies = random.Chance(10) ? 2 + random.Below(3) : 1;
    for (int c = 0; c < copies && written < count; ++c, ++written) {
      const std::string folder = c == 0 ? area : area + Number("_copy%d", c);
      Put("pack/property/property/" + folder + "/" + stem + ".prb", prb);
    }
  }
}

// Files no task asks for, in deep folders, up to `total` files in all.
void MakeFiller(Random& random, std::uint64_t total) {
  static const char* const kinds[] = {"sound/effect", "ui/game", "terrain/tiles", "texture/common", "bgm"};
  static const char* const extensions[] = {".wav", ".sub", ".raw", ".dds", ".txt"};
  int folder = 0;
  while (g_totals.files < total) {
    const int k = folder % 5;
    const std::string base = std::string("pack/ymir work/") + kinds[k] +
                             Number("/set%03d", folder / 5 % 200) + Number("/part%04d", folder);
    for (int i = 0; i < 40 && g_totals.files < total; ++i) {
      Put(base + Number("/file_%03d", i) + extensions[k], std::string(64 + random.Below(1024), 'f'));
    }
    ++folder;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // An option where the output folder belongs would otherwise become a folder of that name.
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: make_client OUTPUT [--seed N] [--files N]\n");
    return 2;
  }
  std::uint64_t seed = 1;
  std::uint64_t files = 60000;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--seed") {
      seed = std::strtoull(argv[i + 1], nullptr, 10);
    } else if (option == "--files") {
      files = std::strtoull(argv[i + 1], nullptr, 10);
    } else {
      std::fprintf(stderr, "unknown option %s\n", option.c_str());
      return 2;
    }
  }
  g_root = argv[1];
  if (fs::exists(g_root) && !fs::is_empty(g_root)) {
    std::fprintf(stderr, "%s exists and is not empty\n", argv[1]);
    return 2;
  }
  for (const char* name : {"Caveman.gr2", "RockSlinger_proj_rock.gr2", "Scout_Mongol.gr2"}) {
    std::ifstream in(fs::path(VINTREL_SHARED_TESTDATA) / "gr2-oodle1" / name, std::ios::binary);
    if (in) g_oodleModels.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  Random random(seed);
  MakeRaceScripts(random, 500);
  MakeItemList(random, 5000);
  MakeNpcList(random, 1500);
  MakeProperties(random, 3000);
  MakeFiller(random, files);
  std::printf("%llu files, %llu bytes in %s\n", static_cast<unsigned long long>(g_totals.files),
              static_cast<unsigned long long>(g_totals.bytes), argv[1]);
  return 0;
}
