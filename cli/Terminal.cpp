// The interactive session on a terminal, through readline's callback interface: Ctrl-C abandons
// the line being typed, every line goes to the history file at once, text pasted with line breaks
// runs line by line, and Tab completes commands, functions, variables and arrays.
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <readline/history.h>
#include <readline/readline.h>

#include "cli/FunctionHelp.h"
#include "cli/Input.h"
#include "cli/Names.h"

namespace {

constexpr int kHistoryLines = 1000;
constexpr const char* kPrompt = "qv> ";

volatile sig_atomic_t interrupted = 0;
void OnInterrupt(int) { interrupted = 1; }

// What the readline callbacks work on; readline takes plain functions.
struct Terminal {
  Session* session = nullptr;
  std::string history;  // the history file; empty when HOME is not set
  bool ok = true;
  bool ended = false;   // end of input
  std::vector<std::string> candidates;  // of the completion under way
};
Terminal terminal;

std::string HistoryPath() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.qvcalc_history" : std::string();
}

void Remember(const std::string& line) {
  if (Trim(line).empty()) return;
  add_history(line.c_str());
  if (!terminal.history.empty()) append_history(1, terminal.history.c_str());
}

// One accepted line, which may hold several when text with line breaks was pasted.
void OnLine(char* raw) {
  if (!raw) {
    terminal.ended = true;
    rl_callback_handler_remove();
    std::printf("\n");
    return;
  }
  const std::string text(raw);
  std::free(raw);
  std::string_view rest = text;
  while (!terminal.session->QuitAsked()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    Remember(std::string(line));
    terminal.ok = terminal.session->HandleLine(line) && terminal.ok;
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
    if (rest.empty()) break;  // a final line break ends the last line
  }
  if (terminal.session->QuitAsked()) rl_callback_handler_remove();  // no prompt after :quit
}

char* NextCandidate(const char* text, int state) {
  static size_t next = 0;
  if (state == 0) next = 0;
  const size_t length = std::strlen(text);
  while (next < terminal.candidates.size()) {
    const std::string& candidate = terminal.candidates[next++];
    if (strncasecmp(candidate.c_str(), text, length) == 0) return strdup(candidate.c_str());
  }
  return nullptr;
}

// Commands at the start of a line, file names after :load, names everywhere else; a function
// comes with its opening bracket.
char** Complete(const char* text, int start, int) {
  const std::string_view before = Trim(std::string_view(rl_line_buffer, size_t(start)));
  rl_attempted_completion_over = 1;  // never file names, unless asked for below
  rl_completion_append_character = '\0';
  std::vector<std::string>& list = terminal.candidates;
  list.clear();
  if (before.empty() && text[0] == ':') {
    for (const Session::Command& command : Session::Commands()) list.emplace_back(command.word);
    rl_completion_append_character = ' ';
  } else if (before == ":load") {
    rl_attempted_completion_over = 0;
    return nullptr;
  } else {
    const bool help = before == ":help";
    const KnownNames names = terminal.session->Names();
    for (const FunctionHelp& row : BuiltinFunctions())
      list.push_back(std::string(row.name) + (help || row.usage == row.name ? "" : "("));
    for (const std::string& name : names.functions) list.push_back(name + (help ? "" : "("));
    if (!help) {
      list.insert(list.end(), names.variables.begin(), names.variables.end());
      for (const std::string& name : names.arrays) list.push_back(name + "(");
    }
  }
  return rl_completion_matches(text, NextCandidate);
}

// Ctrl-C: the line typed so far is dropped and a fresh prompt shown.
void Abandon() {
  interrupted = 0;
  rl_free_line_state();
  rl_callback_sigcleanup();
  rl_callback_handler_remove();
  std::printf("\n");
  rl_callback_handler_install(kPrompt, OnLine);
}

void Setup() {
  if (!terminal.history.empty()) {
    if (access(terminal.history.c_str(), F_OK) != 0) write_history(terminal.history.c_str());
    history_truncate_file(terminal.history.c_str(), kHistoryLines);
    read_history(terminal.history.c_str());
  }
  rl_readline_name = "qvcalc";
  rl_catch_signals = 0;  // Ctrl-C is handled here
  rl_attempted_completion_function = Complete;
  rl_basic_word_break_characters = const_cast<char*>(" \t\n\"'<>=;&(),+-*/^\\");
  rl_variable_bind("completion-ignore-case", "on");
}

}  // namespace

bool RunInteractive(Session& session) {
  terminal.session = &session;
  terminal.history = HistoryPath();
  Setup();
  std::printf("qvcalc: type an expression, :help for commands, :quit to leave\n");

  // Ctrl-C is held back except while waiting for a key, where it ends the wait at once.
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  sigaction(SIGINT, &action, &previous);
  sigset_t blocked, original;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  sigprocmask(SIG_BLOCK, &blocked, &original);
  sigset_t waiting = original;
  sigdelset(&waiting, SIGINT);

  rl_callback_handler_install(kPrompt, OnLine);
  const int fd = fileno(rl_instream ? rl_instream : stdin);
  while (!terminal.ended && !session.QuitAsked()) {
    if (interrupted) Abandon();
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(fd, &ready);
    const int found = pselect(fd + 1, &ready, nullptr, nullptr, nullptr, &waiting);
    if (found > 0) rl_callback_read_char();
    if (found < 0 && errno != EINTR) break;
  }
  rl_callback_handler_remove();
  sigprocmask(SIG_SETMASK, &original, nullptr);
  sigaction(SIGINT, &previous, nullptr);
  if (!terminal.history.empty()) history_truncate_file(terminal.history.c_str(), kHistoryLines);
  return terminal.ok;
}
