// A calculator session: one engine, and what a line of input means to it. A line is an
// expression to evaluate, a ':' command, a comment or blank. Results go to out, errors to err.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/qvExpression.h"

// Splits NAME = EXPR at the first "="; false unless NAME is a name (a letter, then letters,
// digits, "_" or characters beyond ASCII) and EXPR is not blank.
bool SplitAssignment(std::string_view text, std::string& name, std::string& expression);

class Session {
 public:
  Session(std::ostream& out, std::ostream& err, bool showRpn);

  // Each returns false when what it was given failed (and says why on err).
  bool HandleLine(std::string_view line, bool& quit);
  bool Evaluate(std::string_view expression);
  bool Let(std::string_view assignment);
  bool Define(std::string_view definition);
  bool DefineArray(std::string_view definition);
  void Seed(uint64_t seed) { engine_.SeedRandom(seed); }

  // Error messages name the input line, in pipe mode.
  void SetLineNumber(long line) { line_ = line; }

 private:
  bool Command(std::string_view line, bool& quit);
  // Compiles and evaluates (printing the listing when asked); false after reporting a failure.
  bool Compute(std::string_view expression, Variant& result, bool listing);
  bool CompileOnly(std::u16string& text, int16_t& index);
  bool CheckDefinition();  // reports the error state after a definition
  bool PrintListing();
  void ListVariables();
  void ListFunctions();
  void ListExpressions();
  void PrintHelp();
  std::string Where() const;

  qvExpression engine_;
  std::ostream& out_;
  std::ostream& err_;
  bool showRpn_;
  long line_ = 0;
};
