// The eight string functions. Arguments follow the machine's order: the last one is the
// accumulator, which takes the result; earlier ones come from the stack and are null when their
// slot lies outside it, which fails the function. None records a failure of its own.
#pragma once

#include "engine/Variant.h"
#include "engine/eval/Machine.h"

namespace qv {

Step Len(Variant& acc);
Step Asc(Variant& acc);
Step Space(Variant& acc);
Step StringOf(const Variant* count, Variant& acc);
Step LeftRight(bool right, const Variant* value, Variant& acc);
Step Mid(const Variant* value, const Variant* start, Variant& acc);
Step Instr(const Variant* start, const Variant* searched, Variant& acc);

}  // namespace qv
