// One column of values for an evaluation over many rows: the variable it feeds and its values.
#pragma once

#include <string>

struct qvColumn {
  std::u16string Name;    // a variable's name, compared as the engine compares names
  const double* Values;   // Rows values
};
