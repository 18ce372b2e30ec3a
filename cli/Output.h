// How the calculator writes errors: the code and description, for compile errors the expression
// with a caret under the error position, and a hint when one is known. Colour (when asked for)
// marks the word "error".
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

struct ErrorReport {
  std::string where;         // "line 3: " in pipe mode, empty otherwise
  int32_t code = 0;
  std::u16string description;
  std::u16string text;       // the expression, when the error has a position in it
  int32_t position = 0;      // 1-based; 0 when there is none
  std::string hint;          // shown in brackets after the description: "did you mean SQR?"
};

void PrintError(std::ostream& err, const ErrorReport& report, bool colour);
// A message of the calculator itself, not of the engine (a bad command, a bad :let).
void PrintProblem(std::ostream& err, std::string_view where, std::string_view message);
