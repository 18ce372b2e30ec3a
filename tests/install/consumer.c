/* Uses the installed C interface, and checks that the library is the version of its header. */
#include <stdio.h>
#include <string.h>

#include "capi/qvcalc.h"

int main(void) {
  qvcalc* calc = qvcalc_create();
  qvcalc_set_variable(calc, "R", 2);
  qvcalc_compile(calc, "R * 21");
  double value = qvcalc_value(calc);
  int ok = value == 42 && qvcalc_error_code(calc) == 0 && strcmp(qvcalc_version(), QVCALC_VERSION) == 0 &&
           QVCALC_VERSION_NUMBER >= 10000;
  qvcalc_destroy(calc);
  printf("%g %s\n", value, qvcalc_version());
  return ok ? 0 : 1;
}
