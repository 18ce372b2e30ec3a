// How the calculator writes results and errors: numbers in the general form (up to 15
// significant digits), text as text, errors with their code and description, and for compile
// errors the expression with a caret under the error position.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/Variant.h"

std::string ResultText(const Variant& value);

struct ErrorReport {
  std::string where;         // "line 3: " in pipe mode, empty otherwise
  int32_t code = 0;
  std::u16string description;
  std::u16string text;       // the expression, when the error has a position in it
  int32_t position = 0;      // 1-based; 0 when there is none
};

void PrintError(std::ostream& err, const ErrorReport& report);
// A message of the calculator itself, not of the engine (a bad command, a bad :let).
void PrintProblem(std::ostream& err, std::string_view where, std::string_view message);
