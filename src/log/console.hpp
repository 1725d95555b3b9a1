// Coloured console lines and the [SCAN] bar. Colours are dropped when standard output is not a
// terminal or NO_COLOR is set.
#pragma once

#include <string>

void PrintOk(const std::string& text);
void PrintWarn(const std::string& text);
void PrintErr(const std::string& text);
void PrintScanProgress(int current, int total);
