#include "cli/Options.h"

#include <cctype>
#include <charconv>
#include <string_view>

#include "cli/Names.h"

namespace {

// An argument that starts with "-" but not with a letter or a second "-" is an expression,
// such as -2^2 or -(X); "--" ends the options for the others.
bool LooksLikeOption(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-') return false;
  return arg[1] == '-' || std::isalpha(static_cast<unsigned char>(arg[1]));
}

constexpr unsigned kMaxThreads = 1024;

template <typename Whole>
bool ParseWhole(std::string_view text, Whole& out) {
  Whole value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  out = value;
  return true;
}

bool ParseSeed(std::string_view text, std::optional<uint64_t>& seed) {
  uint64_t value = 0;
  if (!ParseWhole(text, value)) return false;
  seed = value;
  return true;
}

// The option at argv[i], advancing i past its argument; false with a message on a usage error.
bool ParseOne(int argc, const char* const* argv, int& i, Options& out, std::string& error) {
  const std::string_view arg = argv[i];
  auto next = [&](std::string_view& value) {
    if (i + 1 >= argc) return error = "option " + std::string(arg) + " needs an argument", false;
    value = argv[++i];
    return true;
  };
  std::string_view value;
  if (arg == "-h" || arg == "--help") return out.help = true;
  if (arg == "--version") return out.version = true;
  if (arg == "--rpn") return out.rpn = true;
  if (arg == "--lenient") return out.lenient = true;
  if (arg == "--no-extended") return !(out.extended = false);
  if (arg == "-v") {
    if (!next(value)) return false;
    if (Assignment parts; !SplitAssignment(value, parts))
      return error = "-v expects NAME=EXPR, got '" + std::string(value) + "'", false;
    out.steps.push_back({SetupStep::Kind::Variable, std::string(value)});
    return true;
  }
  if (arg == "-f" || arg == "-F") {
    if (!next(value)) return false;
    const auto kind = arg == "-f" ? SetupStep::Kind::Function : SetupStep::Kind::File;
    out.steps.push_back({kind, std::string(value)});
    return true;
  }
  if (arg == "--csv") {
    if (!next(value)) return false;
    out.csv = std::string(value);
    return true;
  }
  if (arg == "--threads") {
    if (!next(value)) return false;
    if (!ParseWhole(value, out.threads) || out.threads > kMaxThreads)
      return error = "--threads expects a whole number from 0 to " + std::to_string(kMaxThreads), false;
    return true;
  }
  if (arg == "--seed" || arg.starts_with("--seed=")) {
    if (arg != "--seed") {
      value = arg.substr(7);
    } else if (!next(value)) {
      return false;
    }
    if (!ParseSeed(value, out.seed))
      return error = "--seed expects a whole number from 0 to 18446744073709551615", false;
    return true;
  }
  error = "unknown option " + std::string(arg);
  return false;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& out, std::string& error) {
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && LooksLikeOption(arg)) {
      if (!ParseOne(argc, argv, i, out, error)) return false;
    } else {
      out.expressions.emplace_back(arg);
    }
  }
  if (out.csv && out.expressions.empty()) return error = "--csv needs at least one expression", false;
  if (out.csv && out.rpn) return error = "--rpn cannot be used with --csv", false;
  return true;
}

void PrintUsage(std::ostream& out) {
  out << "Usage: qvcalc [options] [--] [EXPR...]\n"
         "       qvcalc [options] --csv FILE [--] EXPR [EXPR...]\n"
         "Evaluates each EXPR and prints one result a line. Without EXPR it reads one expression\n"
         "a line from standard input (one output line for each input line), or starts an\n"
         "interactive session when standard input and output are a terminal.\n"
         "\n"
         "Options:\n"
         "  -v NAME=EXPR   set the variable NAME to the value of EXPR first\n"
         "  -f 'Name(P, ...) = body'\n"
         "                 define a function first\n"
         "  -F FILE        read definitions and assignments from FILE first (# comments)\n"
         "  --lenient      the engine's compatible rules: a failing step (SQR(-4), an overflow)\n"
         "                 leaves the value it started from, and a name never set reads 0\n"
         "  --no-extended  leave out the extended functions ROUND, CEIL, FLOOR, ATN2, LOG2, HYPOT\n"
         "                 and the constant E\n"
         "  --rpn          print the postfix listing of each expression before its result\n"
         "  --seed N       seed the random numbers of RND, for repeatable results\n"
         "  --csv FILE     evaluate each EXPR over the rows of the CSV file FILE (- for standard\n"
         "                 input), whose header names the columns; write the table with one\n"
         "                 column added per EXPR (empty where a row failed)\n"
         "  --threads N    threads for --csv (0, the default: one per core)\n"
         "  -h, --help     print this help\n"
         "  --version      print the version\n"
         "\n"
         "Exit status: 0 when everything evaluated, 1 when anything failed (a row included),\n"
         "2 for a usage error or a CSV file that cannot be read.\n"
         "Example: qvcalc -v R=2 'PI * R^2'\n";
}
