// Glyphs beyond ASCII and Latin-1 for the window: the default font draws only those, so folder
// names and log lines in Turkish, Polish, Greek, Russian or Korean would show as "?".
#pragma once

#include <string>
#include <vector>

struct SystemFont {
  std::string file;                      // native path
  int index = 0;                         // face within a collection file
  std::vector<unsigned int> characters;  // the sample characters it was chosen for
};

// For each sample character a scalable font of the system that has it (fontconfig on Linux,
// %WINDIR%\Fonts on Windows), one entry per face; characters no font has are left out.
std::vector<SystemFont> FindSystemFonts(const std::vector<unsigned int>& characters);

// The default font, then the glyphs of the scripts above merged in from the system's fonts. With
// no such font the default one alone is used. Needs a current ImGui context, before the first frame.
void LoadWindowFonts();
