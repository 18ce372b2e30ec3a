// qvcalc: the command-line calculator. Setup steps (-v, -f, -F) first, in the order given; then
// the expressions of the command line, or the lines of standard input (a pipe, or a terminal
// session). Exit status: 0 when everything evaluated, 1 when anything failed, 2 for a usage
// error.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "cli/Input.h"
#include "cli/Options.h"
#include "cli/Session.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

bool RunSetup(Session& session, const Options& options) {
  bool ok = true;
  for (const SetupStep& step : options.steps) {
    switch (step.kind) {
      case SetupStep::Kind::Variable: ok = session.Let(step.text) && ok; break;
      case SetupStep::Kind::Function: ok = session.Define(step.text) && ok; break;
      case SetupStep::Kind::File: ok = session.Load(step.text) && ok; break;
    }
  }
  return ok;
}

// Colour only on a terminal that shows it, and not when NO_COLOR asks for none.
bool ColourFor(int fd) {
  const char* term = std::getenv("TERM");
  const char* none = std::getenv("NO_COLOR");
  return isatty(fd) && term && std::strcmp(term, "dumb") != 0 && !(none && *none);
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(true);  // readline writes through stdio
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    std::cerr << "qvcalc: " << error << "\nTry 'qvcalc --help'.\n";
    return kExitUsage;
  }
  if (options.help) return PrintUsage(std::cout), 0;
  if (options.version) return std::cout << "qvcalc " << QVCALC_VERSION << '\n', 0;

  Session session(std::cout, std::cerr, {options.rpn, options.lenient, ColourFor(STDERR_FILENO)});
  if (options.seed) session.Seed(*options.seed);
  bool ok = RunSetup(session, options);
  if (!options.expressions.empty()) {
    for (const std::string& expression : options.expressions) ok = session.Evaluate(expression) && ok;
  } else if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
    ok = RunInteractive(session) && ok;
  } else {
    ok = RunPipe(session, std::cin, std::cout) && ok;
  }
  return ok ? 0 : kExitFailed;
}
