// Coloured console lines and the [SCAN] bar. Colours are dropped when standard output is not a
// terminal or NO_COLOR is set.
#pragma once

#include <string>

void PrintOk(const std::string& text);
void PrintWarn(const std::string& text);
void PrintErr(const std::string& text);
// On a terminal the bar is redrawn in place; elsewhere (a pipe, a file) only the completed bar
// (current == total) is printed, as one line.
void PrintScanProgress(int current, int total);

enum class ConsoleLineKind { Ok, Warn, Err };
// The text a printer writes, without the line feed.
std::string ConsoleLineText(ConsoleLineKind kind, const std::string& text, bool colours);
// Game data can hold escape sequences and NUL bytes; on a terminal they would act instead of
// showing. Control bytes (tab aside) and DEL come back as \xHH, everything else as it is.
std::string TerminalSafeText(const std::string& text);
// The bar without the leading carriage return or the line feed; empty when total < 1.
std::string ScanProgressText(int current, int total, bool colours);
