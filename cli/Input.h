// The two ways a session reads its lines: from a pipe, one expression a line, or from a terminal
// with line editing and a history kept in ~/.qvcalc_history. Each returns true when every line
// succeeded.
#pragma once

#include <istream>

#include "cli/Session.h"

bool RunPipe(Session& session, std::istream& in);
bool RunInteractive(Session& session);
