// The two ways a session reads its lines: from a pipe or a file, one line at a time with one
// output line for each, or from a terminal with line editing, completion and a history kept in
// ~/.qvcalc_history. Each returns true when every line succeeded.
#pragma once

#include <istream>
#include <ostream>

#include "cli/Session.h"

bool RunPipe(Session& session, std::istream& in, std::ostream& out);
bool RunInteractive(Session& session);
