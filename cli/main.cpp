// qvcalc: the command-line calculator. Setup steps (-v, -f, -F) first, in the order given; then
// the expressions of the command line, evaluated once or over the rows of a CSV file (--csv), or
// the lines of standard input (a pipe, or a terminal session). Exit status: 0 when everything
// evaluated, 1 when anything failed, 2 for a usage error or a CSV file that cannot be read.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "cli/CsvTable.h"
#include "cli/Input.h"
#include "cli/Options.h"
#include "cli/Progress.h"
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

// Input of this many bytes or more gets a progress bar on a terminal.
constexpr size_t kLargeInput = size_t(8) << 20;

// The table of --csv ("-": standard input), read whole before anything is evaluated; false after
// saying why when it cannot be. bytes receives its size.
bool ReadTable(const std::string& path, CsvTable& table, size_t& bytes) {
  std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (!file) {
    std::cerr << "qvcalc: cannot read '" << path << "': " << std::strerror(errno) << '\n';
    return false;
  }
  struct stat status {};
  const bool sized = fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
  const double size = sized ? double(status.st_size) : 0;
  Progress progress(std::cerr, sized && size >= double(kLargeInput) && isatty(STDERR_FILENO));
  std::string error;
  bytes = 0;
  const bool ok = ReadCsv(file, table, error, [&](size_t read) {
    bytes = read;
    progress.Show("reading", double(read) / size);
  });
  progress.Done();
  if (file != stdin) std::fclose(file);
  if (!ok) std::cerr << "qvcalc: " << (path == "-" ? "standard input" : path) << ": " << error << '\n';
  return ok;
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

  CsvTable table;
  size_t bytes = 0;
  if (options.csv && !ReadTable(*options.csv, table, bytes)) return kExitUsage;

  Session session(std::cout, std::cerr, {options.rpn, options.lenient, ColourFor(STDERR_FILENO), options.extended});
  if (options.seed) session.Seed(*options.seed);
  bool ok = RunSetup(session, options);
  if (options.csv) {
    Progress progress(std::cerr, bytes >= kLargeInput && isatty(STDERR_FILENO));
    ok = session.EvaluateTable(table, options.expressions, options.threads, progress) && ok;
  } else if (!options.expressions.empty()) {
    for (const std::string& expression : options.expressions) ok = session.Evaluate(expression) && ok;
  } else if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
    ok = RunInteractive(session) && ok;
  } else {
    ok = RunPipe(session, std::cin, std::cout) && ok;
  }
  return ok ? 0 : kExitFailed;
}
