#include "cli/SafeText.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/Utf8.h"

namespace {

// One character at the start of a text: its bytes, and whether it is shown as escapes.
struct Piece {
  size_t bytes = 1;
  bool escape = false;
};

// The length of the well-formed UTF-8 sequence at the start of text, 0 when it is not one.
size_t SequenceLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i)
    if ((byte(i) & 0xC0) != 0x80) return 0;
  // Overlong forms, surrogates and code points past U+10FFFF.
  if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) ||
      (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F))
    return 0;
  return length;
}

Piece Next(std::string_view text) {
  const size_t length = SequenceLength(text);
  if (length == 0) return {1, true};
  const auto lead = static_cast<unsigned char>(text[0]);
  if (length == 1) return {1, lead < 0x20 || lead == 0x7F};
  // C1 controls, U+0080 to U+009F, start with C2 80 to C2 9F.
  return {length, lead == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0};
}

void AppendEscape(std::string& out, unsigned char byte) {
  constexpr char kHex[] = "0123456789abcdef";
  out.append("\\x").push_back(kHex[byte >> 4]);
  out.push_back(kHex[byte & 15]);
}

}  // namespace

std::string Escaped(std::string_view text, size_t limit) {
  std::string out;
  size_t characters = 0;
  for (size_t at = 0; at < text.size(); ++characters) {
    if (characters == limit) return out.append("...");
    const Piece piece = Next(text.substr(at));
    if (piece.escape) {
      for (size_t i = 0; i < piece.bytes; ++i) AppendEscape(out, static_cast<unsigned char>(text[at + i]));
    } else {
      out.append(text.substr(at, piece.bytes));
    }
    at += piece.bytes;
  }
  return out;
}

namespace {

// Characters shown on each side of the position in a long line.
constexpr size_t kWindow = 60;

}  // namespace

// The characters before a 1-based position counted in 16-bit units, a surrogate pair once;
// a position past the end counts on past it.
size_t CharactersBefore(std::u16string_view text, int32_t position) {
  size_t count = 0;
  for (size_t i = 0; i + 1 < size_t(position) && i < text.size(); ++i)
    if (text[i] < 0xDC00 || text[i] > 0xDFFF) ++count;
  if (size_t(position) > text.size() + 1) count += size_t(position) - text.size() - 1;
  return count;
}

// Tabs are shown as blanks so that the caret stays under its character; an escaped character
// takes the columns of its escape (all ASCII), any other one column.
ShownLine ShowAround(std::u16string_view text, int32_t position) {
  const std::string utf8 = ToUtf8(text);
  struct Shown {
    std::string text;
    size_t columns;
  };
  std::vector<Shown> pieces;  // one a character
  for (size_t at = 0; at < utf8.size();) {
    const Piece piece = Next(std::string_view(utf8).substr(at));
    std::string shown = utf8.substr(at, piece.bytes);
    if (shown == "\t") shown = " ";
    if (piece.escape && shown != " ") shown = Escaped(shown);
    const size_t columns = piece.escape ? shown.size() : 1;
    pieces.push_back({std::move(shown), columns});
    at += piece.bytes;
  }
  const size_t target = CharactersBefore(text, position);
  const size_t first = target > kWindow ? target - kWindow : 0;
  const size_t last = std::min(pieces.size(), target + kWindow);
  ShownLine line;
  size_t columns = 0;
  if (first > 0) line.text = "...", columns = 3;
  for (size_t i = first; i < last; ++i) {
    if (i == target) line.column = columns;
    line.text += pieces[i].text;
    columns += pieces[i].columns;
  }
  if (target >= last) line.column = columns + (target - std::max(last, first));
  if (last < pieces.size()) line.text += "...";
  return line;
}

std::string_view WithoutBom(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  return text;
}
