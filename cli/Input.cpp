#include "cli/Input.h"

#include <string>

#include "cli/SafeText.h"

// A line that printed nothing (a failure, a blank, an assignment) leaves an empty line, so the
// outputs line up with the inputs; each line is flushed at once, for a program that talks to the
// calculator line by line.
bool RunPipe(Session& session, std::istream& in, std::ostream& out) {
  bool ok = true;
  std::string line;
  for (long number = 1; !session.QuitAsked() && std::getline(in, line); ++number) {
    session.SetWhere("line " + std::to_string(number) + ": ");
    ok = session.HandleLine(number == 1 ? WithoutBom(line) : line) && ok;
    if (!session.TakePrinted() && !session.QuitAsked()) out << '\n';
    out.flush();
  }
  return ok;
}
