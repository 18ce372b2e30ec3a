// The run-time failure that a caught exception stands for, so that hosting code can hand any
// failure to an error report as a number and a text: a qvRuntimeError as itself, exhausted memory
// as failure 7, anything else as the internal failure 999. Call it only inside a catch block.
#pragma once

#include "engine/RuntimeError.h"

qvRuntimeError CaughtFailure();
