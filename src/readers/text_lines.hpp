// One line splitter for every reader of game text: hand-edited files mix CR LF, LF and lone CR.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits at CR LF, LF and a lone CR. The terminators are not part of the lines; a final line without
// a terminator is kept, an empty text gives no lines.
std::vector<std::string_view> SplitLines(std::string_view text);

// Same, as owned strings.
std::vector<std::string> SplitLinesCopy(std::string_view text);
