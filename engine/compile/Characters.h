// The character classes of the language and the character at a 1-based position of a text, for
// the scanner, the compiler and the definition readers alike.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv {

// Past either end of a text: a code that belongs to no class (it stands for the empty text).
inline constexpr char16_t kNoCharacter = 0xFFFF;

inline bool IsDigit(char32_t c) noexcept { return c >= u'0' && c <= u'9'; }
inline bool IsLetter(char32_t c) noexcept { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
inline char16_t CharAt(std::u16string_view Text, int64_t Pos) noexcept {
  return Pos >= 1 && uint64_t(Pos) <= Text.size() ? Text[size_t(Pos - 1)] : kNoCharacter;
}

}  // namespace qv
