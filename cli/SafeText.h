// Text that came from outside (an expression, a file's line, a CSV cell, a path) made safe to
// show on a terminal: a control character, which could move the cursor, clear the screen or
// retitle the window, is shown as its escape (\x1b, \x07); a byte that is not UTF-8 likewise;
// a long cell is cut. And the byte-order mark some editors put at the start of a file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// text with every control character (C0, DEL, C1) and every byte outside well-formed UTF-8
// written as \xNN, a backslash as itself; at most limit characters of text are kept, the rest
// replaced by "...".
std::string Escaped(std::string_view text, size_t limit = std::string::npos);

// A shown line and the column under a 1-based character position of it, with the line cut to
// a window around that position when it is long.
struct ShownLine {
  std::string text;
  size_t column = 0;
};
ShownLine ShowAround(std::u16string_view text, int32_t position);

// text without the UTF-8 byte-order mark (EF BB BF) at its start.
std::string_view WithoutBom(std::string_view text);
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// How many characters of a CSV cell or a name a message shows.
constexpr size_t kShownCell = 40;
