// qvcalc: the command-line calculator. Setup steps (-v, -f, -F) first, in the order given; then
// the expressions of the command line, evaluated once or over the rows of a CSV file (--csv), or
// the lines of standard input (a pipe, or a terminal session). Exit status: 0 when everything
// evaluated, 1 when anything failed, 2 for a usage error or a CSV file that cannot be read (a
// fault found after the first blocks of a large file were written included).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "cli/Input.h"
#include "cli/Options.h"
#include "cli/Progress.h"
#include "cli/SafeText.h"
#include "cli/Session.h"
#include "qvcalc_version.h"

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

// Input of this many bytes or more gets a progress bar on a terminal.
constexpr size_t kLargeInput = size_t(8) << 20;

// The --csv mode: the file ("-": standard input) evaluated and written block by block, with a
// progress bar over its bytes. Exit status 2 when it cannot be read or is not CSV.
int RunTable(Session& session, const Options& options, bool setupOk) {
  const std::string& path = *options.csv;
  std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (!file) {
    std::cerr << "qvcalc: cannot read '" << Escaped(path) << "': " << std::strerror(errno) << '\n';
    return kExitUsage;
  }
  struct stat status {};
  const bool sized = fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
  const double size = sized ? double(status.st_size) : 0;
  Progress progress(std::cerr, sized && size >= double(kLargeInput) && isatty(STDERR_FILENO));
  std::string error;
  const bool ok = session.EvaluateTable(file, options.expressions, options.threads,
                                        [&](size_t read) { progress.Show("evaluating", double(read) / size); },
                                        error);
  progress.Done();
  if (file != stdin) std::fclose(file);
  if (!error.empty()) {
    std::cerr << "qvcalc: " << (path == "-" ? "standard input" : Escaped(path)) << ": " << error << '\n';
    return kExitUsage;
  }
  return ok && setupOk ? 0 : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(true);  // readline writes through stdio
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    std::cerr << "qvcalc: " << Escaped(error) << "\nTry 'qvcalc --help'.\n";
    return kExitUsage;
  }
  if (options.help) return PrintUsage(std::cout), 0;
  if (options.version) return std::cout << "qvcalc " << QVCALC_VERSION << '\n', 0;

  Session session(std::cout, std::cerr, {options.rpn, options.lenient, ColourFor(STDERR_FILENO), options.extended});
  if (options.seed) session.Seed(*options.seed);
  bool ok = RunSetup(session, options);
  if (options.csv) {
    return RunTable(session, options, ok);
  } else if (!options.expressions.empty()) {
    for (const std::string& expression : options.expressions) ok = session.Evaluate(expression) && ok;
  } else if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
    ok = RunInteractive(session) && ok;
  } else {
    ok = RunPipe(session, std::cin, std::cout) && ok;
  }
  return ok ? 0 : kExitFailed;
}
