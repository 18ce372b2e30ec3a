// The scanner: reads numbers, names and string literals from a text at a 1-based cursor that the
// caller owns, and cuts a trailing comment off a whole text. There is no token stream: each
// procedure leaves the cursor on the first character it did not consume. Failures go to the
// error state it is handed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"

namespace qv {

// Character classes of the language, and the character at a 1-based position (kNoCharacter past
// either end, a code that belongs to no class).
inline constexpr char16_t kNoCharacter = 0xFFFF;
inline bool IsDigit(char32_t c) noexcept { return c >= u'0' && c <= u'9'; }
inline bool IsLetter(char32_t c) noexcept { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
inline char16_t CharAt(std::u16string_view Text, int64_t Pos) noexcept {
  return Pos >= 1 && uint64_t(Pos) <= Text.size() ? Text[size_t(Pos - 1)] : kNoCharacter;
}

void SkipBlanks(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor);
Variant GetNumber(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor);
std::u16string GetName(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor);
// False when the closing delimiter is missing (error 1 is then recorded and Content is empty).
bool GetString(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor, std::u16string& Content);
std::u16string StripComments(ErrorState& Errors, std::u16string& Text);
std::u16string_view TrimSpaces(std::u16string_view Text);  // code 32 only, both ends

}  // namespace qv
