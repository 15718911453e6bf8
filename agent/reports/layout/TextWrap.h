#pragma once

#include "agent/reports/layout/TextMeasurer.h"

#include <cstddef>
#include <cstdint>
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

// A line longer than this (bytes) in text that is not wrapped is cut by ClipLongLines. Shorter lines are
// kept whole: measuring them costs more than drawing them.
inline constexpr size_t kClipLineBytes = 1024;

// Text that is not wrapped shows no more of a line than its cell is wide, and a line wider than its cell
// is drawn from the cell's left edge. So a line longer than kClipLineBytes is cut once the characters
// kept reach `keepWidth` mm; a page then holds what it can show, not a whole megabyte value on every
// page that repeats it. Appends the result to `out`; marks as WrapText (one in a cut-off part goes to
// the end of its line's kept part). Linear in the length of the text.
void ClipLongLines(std::string_view text, double keepWidth, int style, TextMeasurer& measurer,
                   std::string& out, std::vector<uint32_t>* marks = nullptr);

// Number of lines in already wrapped text (1 for "" ).
int CountLines(std::string_view text);

} // namespace verolux::reports
