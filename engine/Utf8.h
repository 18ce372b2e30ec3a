// UTF-8 at the edges: hosts outside C++ (the C interface, the calculator, scripting hosts) speak
// UTF-8, while the engine's texts are 16-bit characters. Both directions replace what cannot be
// converted (malformed UTF-8, unpaired surrogates) by U+FFFD, so no input is ever refused or
// read past its end.
#pragma once

#include <string>
#include <string_view>

std::u16string FromUtf8(std::string_view text);
std::string ToUtf8(std::u16string_view text);
