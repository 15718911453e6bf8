#pragma once

#include "agent/reports/layout/TextMeasurer.h"

#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports {

// Breaks text into lines no wider than `width` mm: at blanks between words, between any two CJK
// characters, and inside a word only when the word alone is too wide. Explicit '\n' always breaks.
// Closing punctuation (，。、！？ etc.) never starts a line. Appends the lines joined by '\n' to `out`;
// returns the number of lines. Linear in the length of the text.
// `marks`: ascending byte offsets into `text` (places where something is inserted later), changed into
// offsets into what was appended; a mark keeps to the text before it.
int WrapText(std::string_view text, double width, int style, TextMeasurer& measurer, std::string& out,
             std::vector<uint32_t>* marks = nullptr);

// Number of lines in already wrapped text (1 for "" ).
int CountLines(std::string_view text);

} // namespace verolux::reports
