// The calculator's command line: options, setup steps and expressions, in the order given.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct SetupStep {
  enum class Kind { Variable, Function, File } kind;
  std::string text;  // NAME=EXPR for a variable, the definition for a function, a file's path
};

struct Options {
  std::vector<SetupStep> steps;
  std::vector<std::string> expressions;
  bool rpn = false;
  bool lenient = false;
  bool extended = true;  // --no-extended: without ROUND, CEIL, FLOOR, ATN2, LOG2, HYPOT and E
  std::optional<uint64_t> seed;
  std::optional<std::string> csv;  // --csv FILE: the table to evaluate the expressions over ("-": standard input)
  unsigned threads = 0;            // threads of the column call; 0: one per core
  bool help = false;
  bool version = false;
};

// False with a message in error for a usage error (unknown option, missing or bad argument).
bool ParseOptions(int argc, const char* const* argv, Options& out, std::string& error);
void PrintUsage(std::ostream& out);
