#include "cli/Input.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <readline/history.h>
#include <readline/readline.h>

namespace {

constexpr int kHistoryLines = 1000;

// The history file in the user's home; none when HOME is not set.
std::string HistoryPath() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.qvcalc_history" : std::string();
}

}  // namespace

bool RunPipe(Session& session, std::istream& in) {
  bool ok = true;
  bool quit = false;
  std::string line;
  for (long number = 1; !quit && std::getline(in, line); ++number) {
    session.SetLineNumber(number);
    ok = session.HandleLine(line, quit) && ok;
  }
  return ok;
}

bool RunInteractive(Session& session) {
  const std::string history = HistoryPath();
  if (!history.empty()) read_history(history.c_str());
  std::printf("qvcalc: type an expression, :help for commands, :quit to leave\n");
  bool ok = true;
  bool quit = false;
  while (!quit) {
    char* raw = readline("qv> ");
    if (!raw) {  // end of input
      std::printf("\n");
      break;
    }
    const std::string line(raw);
    std::free(raw);
    if (line.find_first_not_of(" \t") != std::string::npos) add_history(line.c_str());
    ok = session.HandleLine(line, quit) && ok;
  }
  if (!history.empty() && write_history(history.c_str()) == 0)
    history_truncate_file(history.c_str(), kHistoryLines);
  return ok;
}
