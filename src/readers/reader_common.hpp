// Small rules every list reader shares: reading a leading number and finding files of one name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The leading-number rule: white space skipped, an optional sign, decimal digits; whatever follows the
// digits is ignored ("123abc" reads 123). False when there are no digits or the value leaves int32.
bool ReadLeadingInt32(std::string_view text, std::int32_t& value);

// Walks folder and every folder below it, in listing order, and appends folder + "\" + name for each
// file whose lower-cased name equals lowerName. A folder that cannot be listed adds nothing.
void CollectFilesNamed(const std::string& folder, const std::string& lowerName,
                       std::vector<std::string>& found);
