#include "ui/system_fonts.hpp"

#include <imgui.h>

#include <array>
#include <map>
#include <utility>

#include "log/debug_log.hpp"
#include "platform/platform.hpp"

#ifdef _WIN32
#include "support/client_paths.hpp"
#else
#include <fontconfig/fontconfig.h>
#endif

namespace {

struct Script {
  unsigned int sample;
  std::vector<ImWchar> ranges;  // pairs of first and last character
};

// Latin Extended covers Turkish and Polish; Hangul Jamo and syllables cover Korean.
const std::array<Script, 4> kScripts = {{
    {0x015F, {0x0100, 0x024F, 0x1E00, 0x1EFF, 0x2000, 0x206F}},
    {0x03A9, {0x0370, 0x03FF}},
    {0x0416, {0x0400, 0x052F}},
    {0xD55C, {0x3131, 0x3163, 0xAC00, 0xD7A3}},
}};

void AddFound(std::vector<SystemFont>& fonts, const std::string& file, int index, unsigned int character) {
  for (SystemFont& font : fonts) {
    if (font.file == file && font.index == index) {
      font.characters.push_back(character);
      return;
    }
  }
  fonts.push_back(SystemFont{file, index, {character}});
}

}  // namespace

#ifdef _WIN32

std::vector<SystemFont> FindSystemFonts(const std::vector<unsigned int>& characters) {
  // Fonts every Windows since 7 ships: Segoe UI for the European scripts, Malgun Gothic for Korean.
  std::vector<SystemFont> fonts;
  const std::string folder = platform::GetEnvironmentVariable("WINDIR").value_or("C:\\Windows") + "\\Fonts\\";
  for (unsigned int character : characters) {
    const std::string file = folder + (character >= 0x3131 ? "malgun.ttf" : "segoeui.ttf");
    if (FileExists(file)) AddFound(fonts, file, 0, character);
  }
  return fonts;
}

#else

namespace {

bool IsOutlineFontFile(const std::string& file) {
  const std::size_t dot = file.rfind('.');
  if (dot == std::string::npos) return false;
  std::string extension = file.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  // stb_truetype reads TrueType and OpenType outlines; bitmap formats it cannot.
  return extension == "ttf" || extension == "otf" || extension == "ttc";
}

}  // namespace

std::vector<SystemFont> FindSystemFonts(const std::vector<unsigned int>& characters) {
  std::vector<SystemFont> fonts;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return fonts;
  for (unsigned int character : characters) {
    FcPattern* pattern = FcPatternCreate();
    FcCharSet* wanted = FcCharSetCreate();
    FcCharSetAddChar(wanted, character);
    FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    // The best match is returned even when it lacks the character: it is checked below.
    if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
      FcCharSet* has = nullptr;
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetCharSet(match, FC_CHARSET, 0, &has) == FcResultMatch &&
          FcCharSetHasChar(has, character) && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
          IsOutlineFontFile(reinterpret_cast<const char*>(file))) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        AddFound(fonts, reinterpret_cast<const char*>(file), index, character);
      }
      FcPatternDestroy(match);
    }
    FcCharSetDestroy(wanted);
    FcPatternDestroy(pattern);
  }
  FcConfigDestroy(config);
  return fonts;
}

#endif

void LoadWindowFonts() {
  ImGuiIO& io = ImGui::GetIO();
  io.Fonts->AddFontDefault();
  std::vector<unsigned int> samples;
  for (const Script& script : kScripts) samples.push_back(script.sample);
  // The atlas reads the ranges when it is built, after this returns.
  static std::vector<std::vector<ImWchar>> rangeStore;
  rangeStore.clear();
  for (const SystemFont& font : FindSystemFonts(samples)) {
    std::vector<ImWchar> ranges;
    for (unsigned int character : font.characters) {
      for (const Script& script : kScripts) {
        if (script.sample == character)
          ranges.insert(ranges.end(), script.ranges.begin(), script.ranges.end());
      }
    }
    ranges.push_back(0);
    rangeStore.push_back(std::move(ranges));
    ImFontConfig config;
    config.MergeMode = true;
    config.FontNo = font.index;
    // Glyphs the default font has (ASCII, Latin-1) stay its own: a merge never replaces them.
    if (io.Fonts->AddFontFromFileTTF(font.file.c_str(), 13.0f, &config, rangeStore.back().data()) !=
        nullptr) {
      LogLine("[INFO] [Fonts] Glyphs merged from " + font.file);
    }
  }
}
