// The scanner: reads numbers, names and string literals from a text at a 1-based cursor that the
// caller owns, and cuts a trailing comment off a whole text. There is no token stream: each
// procedure leaves the cursor on the first character it did not consume. Failures go to the
// error state it is handed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Variant.h"
#include "engine/compile/Characters.h"
#include "engine/compile/ErrorState.h"

namespace qv {

void SkipBlanks(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor);
Variant GetNumber(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor);
std::u16string GetName(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor);
// False when the closing delimiter is missing (error 1 is then recorded and Content is empty).
bool GetString(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor, std::u16string& Content);
std::u16string StripComments(ErrorState& Errors, std::u16string& Text);
std::u16string_view TrimSpaces(std::u16string_view Text);  // code 32 only, both ends

}  // namespace qv
