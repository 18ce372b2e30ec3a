// One variable: its name as first spelled and its current value. Records are shared: the store
// holds one reference and every compiled load of the variable holds another, so compiled code
// always reads the current value, even after the store has forgotten the record.
#pragma once

#include <string>

#include "engine/Variant.h"

class qvVariable {
 public:
  std::u16string Name;
  Variant Value;
};
