/* Uses the installed C interface. */
#include <stdio.h>

#include "capi/qvcalc.h"

int main(void) {
  qvcalc* calc = qvcalc_create();
  qvcalc_set_variable(calc, "R", 2);
  qvcalc_compile(calc, "R * 21");
  double value = qvcalc_value(calc);
  int ok = value == 42 && qvcalc_error_code(calc) == 0;
  qvcalc_destroy(calc);
  printf("%g\n", value);
  return ok ? 0 : 1;
}
