/* Drives the C interface through a whole cycle, compiled as C11: variables, compile, value, user
 * functions, the engine's error state, the ErrorMsg callback, UTF-8 names and NULL handles. */
#include <stdio.h>
#include <string.h>

#include "capi/qvcalc.h"

static int failures = 0;

#define CHECK(cond)                                                   \
  do {                                                                \
    if (!(cond)) {                                                    \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                     \
    }                                                                 \
  } while (0)

struct events {
  int count;
  char source[256];
  char description[256];
};

static void on_error(void* context, const char* source, const char* description) {
  struct events* seen = (struct events*)context;
  ++seen->count;
  snprintf(seen->source, sizeof seen->source, "%s", source);
  snprintf(seen->description, sizeof seen->description, "%s", description);
}

static void variables_and_values(qvcalc* calc) {
  double x = -1;
  CHECK(qvcalc_set_variable(calc, "X", 3) == QVCALC_OK);
  CHECK(qvcalc_get_variable(calc, "x", &x) == QVCALC_OK && x == 3);
  CHECK(qvcalc_num_variables(calc) == 1);
  CHECK(strcmp(qvcalc_variable_name(calc, 1), "X") == 0);
  CHECK(strcmp(qvcalc_variable_name(calc, 2), "") == 0);

  qvcalc_compile(calc, "X^2 + 1 ' a comment");
  CHECK(qvcalc_error_code(calc) == 0);
  CHECK(qvcalc_value(calc) == 10);
  CHECK(qvcalc_set_variable(calc, "x", 5) == QVCALC_OK);
  CHECK(qvcalc_value(calc) == 26); /* compiled code reads the current value */
  CHECK(qvcalc_num_expressions(calc) == 2);
  CHECK(strcmp(qvcalc_expression(calc, 1), "X^2 + 1") == 0);

  qvcalc_compile(calc, "7 * 6");
  int32_t index = -1;
  CHECK(qvcalc_value_at(calc, &index) == 42 && index == 2);
  index = 1;
  CHECK(qvcalc_value_at(calc, &index) == 26);

  /* A name never set or compiled reads 0 and records error 11; it is not a failure of the call. */
  double missing = -1;
  CHECK(qvcalc_get_variable(calc, "Nowhere", &missing) == QVCALC_OK && missing == 0);
  CHECK(qvcalc_error_code(calc) == 11);
  qvcalc_clear_error(calc);
  CHECK(qvcalc_error_code(calc) == 0);
}

static void user_functions(qvcalc* calc) {
  qvcalc_define_user_func(calc, "Area(W, H) = W * H");
  CHECK(qvcalc_error_code(calc) == 0);
  CHECK(qvcalc_num_user_funcs(calc) == 1);
  CHECK(strcmp(qvcalc_user_func(calc, 1), "Area(W, H) = W * H") == 0);
  qvcalc_compile(calc, "Area(3, 4) + 0.5");
  CHECK(qvcalc_value(calc) == 12.5);
  qvcalc_define_user_func(calc, "Sin(X) = X");
  CHECK(qvcalc_error_code(calc) == 10);
  CHECK(qvcalc_num_user_funcs(calc) == 1);
  qvcalc_clear_error(calc);
}

static void errors_and_events(qvcalc* calc, struct events* seen) {
  /* An engine failure: seen through the error state only, and it blocks evaluation. */
  qvcalc_compile(calc, "1 + * 2");
  CHECK(qvcalc_error_code(calc) == 1);
  CHECK(strncmp(qvcalc_error_description(calc), "Syntax Error", 12) == 0);
  CHECK(qvcalc_error_pos(calc) == 5);
  CHECK(qvcalc_value(calc) == 0);
  CHECK(seen->count == 0);
  qvcalc_clear_error(calc);

  qvcalc_compile(calc, "1 / 0");
  CHECK(qvcalc_error_code(calc) == 0);
  qvcalc_value(calc);
  CHECK(qvcalc_error_code(calc) == 6);
  CHECK(strcmp(qvcalc_error_description(calc), "Div by zero") == 0);
  qvcalc_clear_error(calc);

  /* A failure of the control's own member: the callback, synchronously, and the result 0. */
  qvcalc_compile(calc, "\"abc\"");
  CHECK(qvcalc_value(calc) == 0);
  CHECK(seen->count == 1);
  CHECK(strcmp(seen->source, "Error 13 has occured in QvCalc.ocx, Value") == 0);
  CHECK(strcmp(seen->description, "Type mismatch") == 0);
  CHECK(qvcalc_error_code(calc) == 0);

  /* A text that reads as a number converts without an event. */
  qvcalc_compile(calc, "\"2.5\" & \"E1\"");
  CHECK(qvcalc_value(calc) == 25);
  CHECK(seen->count == 1);
}

static void utf8_names(qvcalc* calc) {
  double size = 0;
  CHECK(qvcalc_set_variable(calc, "Gr\xC3\xB6\xC3\x9F" "e", 2) == QVCALC_OK);
  CHECK(qvcalc_get_variable(calc, "GR\xC3\x96\xC3\x9F" "E", &size) == QVCALC_OK && size == 2);
  qvcalc_compile(calc, "Gr\xC3\xB6\xC3\x9F" "e * 2");
  CHECK(qvcalc_value(calc) == 4);
  int32_t last = qvcalc_num_variables(calc);
  CHECK(strcmp(qvcalc_variable_name(calc, last), "Gr\xC3\xB6\xC3\x9F" "e") == 0);
  /* Malformed UTF-8 is read, not refused. */
  CHECK(qvcalc_set_variable(calc, "bad\xC3", 1) == QVCALC_OK);
}

static void lifecycle(qvcalc* calc, struct events* seen, int cookie) {
  qvcalc_set_size(calc, 1000, 50);
  CHECK(qvcalc_width(calc) == 600 && qvcalc_height(calc) == 330);
  qvcalc_all_math_functions(calc);

  qvcalc_seed_random(calc, 42);
  qvcalc_compile(calc, "RND(1000)");
  double first = qvcalc_value(calc);
  qvcalc_seed_random(calc, 42);
  CHECK(qvcalc_value(calc) == first);
  CHECK(first >= 0 && first < 1000);

  qvcalc_reset(calc);
  CHECK(qvcalc_num_expressions(calc) == 0 && qvcalc_num_variables(calc) == 0);
  CHECK(qvcalc_num_user_funcs(calc) == 0);

  qvcalc_unadvise(calc, cookie);
  qvcalc_compile(calc, "\"abc\"");
  qvcalc_value(calc);
  CHECK(seen->count == 1);
}

/* Beyond the control: texts kept side by side, results as text, the evaluation that starts from a
 * clear state, bound variables, the trap setting and positions past 16 bits. */
/* A host function with user data that may fail, one of any number of arguments, a constant. */
static double clamp(void* limit, const double* args, int count, qvcalc_failure* failure) {
  (void)count;
  if (args[0] > *(const double*)limit) qvcalc_fail(failure, "above the limit");
  return args[0];
}
static double count_args(void* unused, const double* args, int count, qvcalc_failure* failure) {
  (void)unused, (void)args, (void)failure;
  return count;
}

static void host_functions(void) {
  qvcalc* calc = qvcalc_create();
  double limit = 10;
  CHECK(qvcalc_define_function(calc, "Clamp", 1, 1, 1, clamp, &limit) == 1);
  CHECK(qvcalc_define_function(calc, "count", 0, -1, 1, count_args, NULL) == 1);
  CHECK(qvcalc_define_constant(calc, "Limit", 4) == 1);
  CHECK(qvcalc_define_function(calc, "sin", 1, 1, 1, clamp, &limit) == 0 && qvcalc_error_code(calc) == 10);
  qvcalc_clear_error(calc);
  qvcalc_compile(calc, "clamp(limit) + COUNT(1, 2, 3) + count()");
  CHECK(qvcalc_value(calc) == 7);
  qvcalc_set_evaluation_trap(calc, 0);
  qvcalc_compile(calc, "clamp(limit * 5)");
  CHECK(qvcalc_value(calc) == 0 && qvcalc_error_code(calc) == 6);
  CHECK(strcmp(qvcalc_error_description(calc), "Clamp(20): above the limit") == 0);
  qvcalc_clear_error(calc);
  qvcalc_add_extended_functions(calc);
  qvcalc_compile(calc, "ROUND(1.005, 2) + E * 0");
  CHECK(qvcalc_value(calc) == 1.01);
  CHECK(qvcalc_undefine_host_name(calc, "clamp") == 1 && qvcalc_undefine_host_name(calc, "clamp") == 0);
  CHECK(qvcalc_define_function(NULL, "f", 1, 1, 1, clamp, NULL) == 0 && qvcalc_define_constant(NULL, "c", 1) == 0);
  qvcalc_destroy(calc);
}

static void host_extensions(qvcalc* calc) {
  qvcalc_reset(calc);
  qvcalc_compile(calc, "\"x\" & 1");
  qvcalc_compile(calc, "1 +");
  const char* first = qvcalc_expression(calc, 1);
  const char* failure = qvcalc_error_description(calc);
  CHECK(strcmp(first, "\"x\" & 1") == 0); /* not overwritten by another function's text */
  CHECK(strcmp(failure, "Syntax Error: Unexpected end of expression") == 0);
  char* kept = qvcalc_copy(first);
  CHECK(kept != NULL && strcmp(qvcalc_expression(calc, 2), "1 +") == 0 && strcmp(kept, "\"x\" & 1") == 0);
  qvcalc_free(kept);

  /* The error blocks qvcalc_value; qvcalc_evaluate clears it and gives text as text. */
  CHECK(strcmp(qvcalc_value_text(calc, 1), "") == 0);
  qvcalc_result result;
  CHECK(qvcalc_evaluate(calc, 1, &result) == 0);
  CHECK(result.kind == QVCALC_TEXT && strcmp(result.text, "x1") == 0 && result.number == 0);
  CHECK(qvcalc_error_code(calc) == 0);
  CHECK(strcmp(qvcalc_value_text(calc, 1), "x1") == 0);
  qvcalc_compile(calc, "1 / 4");
  CHECK(strcmp(qvcalc_value_text(calc, 0), "0.25") == 0);
  CHECK(qvcalc_evaluate(calc, 0, &result) == 0 && result.kind == QVCALC_NUMBER && result.number == 0.25);
  qvcalc_compile(calc, "LN(0)");
  CHECK(qvcalc_evaluate(calc, 0, &result) == 6 && strcmp(qvcalc_error_description(calc), "LN(0)") == 0);
  CHECK(qvcalc_evaluate(calc, 0, NULL) == 6); /* each call starts afresh */
  qvcalc_clear_error(calc);

  /* A bound variable feeds compiled code directly. */
  qvcalc_variable* x = qvcalc_bind_variable(calc, "Speed");
  CHECK(x != NULL && qvcalc_variable_get(x) == 0);
  qvcalc_compile(calc, "speed * 2");
  double sum = 0;
  for (int i = 1; i <= 100; ++i) {
    qvcalc_variable_set(x, i);
    CHECK(qvcalc_evaluate(calc, 0, &result) == 0);
    sum += result.number;
  }
  CHECK(sum == 10100);
  double read = 0;
  CHECK(qvcalc_get_variable(calc, "SPEED", &read) == QVCALC_OK && read == 100);
  CHECK(qvcalc_bind_variable(calc, "12") == NULL && qvcalc_bind_variable(calc, NULL) == NULL);

  /* The trap: on at creation, settable. */
  CHECK(qvcalc_evaluation_trap(calc) == 1);
  qvcalc_set_evaluation_trap(calc, 0);
  CHECK(qvcalc_evaluation_trap(calc) == 0);
  qvcalc_set_evaluation_trap(calc, 1);

  /* Positions in characters and UTF-8 bytes, past 32767: 40000 blanks, then a text of a 2-byte
   * character and a 4-byte one (two 16-bit units), and the error. */
  static char text[40020];
  memset(text, ' ', 40000);
  strcpy(text + 40000, "\"\xC3\xA9\xF0\x9F\x98\x80\" + * 2");
  qvcalc_compile(calc, text);
  int32_t bytes = 0;
  CHECK(qvcalc_error_code(calc) == 1);
  CHECK(qvcalc_error_position(calc, &bytes) == 40000 + 8 && bytes == 40000 + 12);
  CHECK(text[bytes - 1] == '*');
  qvcalc_clear_error(calc);
  qvcalc_define_user_func(calc, "Twice(X) =  X * * 2");
  CHECK(qvcalc_error_code(calc) == 1 && qvcalc_error_source(calc) < 0);
  CHECK(qvcalc_error_position(calc, &bytes) == 17 && bytes == 17);
  qvcalc_clear_error(calc);
  CHECK(qvcalc_error_position(calc, &bytes) == 0 && bytes == 0);
  qvcalc_release_variable(x);
}

static void null_handles(void) {
  double v = 1;
  CHECK(qvcalc_value(NULL) == 0);
  CHECK(strcmp(qvcalc_error_description(NULL), "") == 0);
  CHECK(qvcalc_set_variable(NULL, "X", 1) == QVCALC_INVALID);
  CHECK(qvcalc_get_variable(NULL, "X", &v) == QVCALC_INVALID);
  CHECK(qvcalc_advise(NULL, on_error, NULL) == 0);
  qvcalc_compile(NULL, "1");
  qvcalc_destroy(NULL);
  CHECK(qvcalc_evaluate(NULL, 0, NULL) == QVCALC_INVALID);
  CHECK(qvcalc_bind_variable(NULL, "X") == NULL && qvcalc_variable_get(NULL) == 0);
  qvcalc_variable_set(NULL, 1);
  qvcalc_release_variable(NULL);
}

/* The column call: rows that fail in the middle, a text result, one and two threads. */
static void columns(qvcalc* calc) {
  enum { kRows = 10000 };
  static double xs[kRows], out[kRows];
  static int32_t status[kRows];
  for (int r = 0; r < kRows; ++r) xs[r] = r % 4; /* 0 every fourth row */
  const char* names[] = {"X"};
  const double* values[] = {xs};
  qvcalc_compile(calc, "IIF(X = 3, \"three\", 12 / X)");
  for (unsigned threads = 1; threads <= 2; ++threads) {
    CHECK(qvcalc_value_columns(calc, 0, names, values, 1, kRows, out, status, threads) == kRows / 2);
    CHECK(status[0] == 6 && out[1] == 12 && out[2] == 6 && status[3] == 13 && out[5] == 12);
  }
  CHECK(qvcalc_error_code(calc) == 0);
  CHECK(qvcalc_value_columns(NULL, 0, names, values, 1, kRows, out, status, 1) == 0);
}

/* The mistakes that must not pass for numbers, one row each, on a fresh handle: the profile, a
 * variable to set first (value), a definition to make first, the expression; then the code that
 * qvcalc_evaluate must return, the result's kind and number, and the start of the description. A
 * failed compilation is never run, under either profile. */
static void reproductions(void) {
  const double nan = 0.0 / 0.0, inf = 1.0 / 0.0;
  static const struct {
    int strict;
    const char* variable;
    double value;
    const char* definition;
    const char* expression;
    int code, kind;
    double number;
    const char* description;
  } rows[] = {
      {0, NULL, 0, NULL, "5 +* 3", 1, QVCALC_EMPTY, 0, "Syntax Error"},
      {0, NULL, 0, NULL, "7 7", 4, QVCALC_EMPTY, 0, "Unknown operator"},
      {1, NULL, 0, NULL, "1 + (2 * ", 1, QVCALC_EMPTY, 0, "Syntax Error"},
      {0, "Price", 120, NULL, "Pirce * 2", 0, QVCALC_NUMBER, 0, ""}, /* compatible: a new variable */
      {1, "Price", 120, NULL, "Pirce * 2", 3, QVCALC_EMPTY, 0, "Undefined variable: Pirce (did you mean Price?)"},
      {1, "X", 0, NULL, "X * 3", 0, QVCALC_NUMBER, 0, ""},
      {1, "X", 1, NULL, "SQR(X - 5)", 5, QVCALC_EMPTY, 0, "SQR(-4)"},
      {1, NULL, 0, NULL, "EXP(710)", 6, QVCALC_EMPTY, 0, "EXP(710): Overflow"},
      {1, "X", 0, "G(X) = 1 / X", "G(X)", 6, QVCALC_EMPTY, 0, "Div by zero in User Function 'G'"},
      {1, NULL, 0, "F(X) = X +", "F(1)", 2, QVCALC_EMPTY, 0, "Unknown function: F"},
      {0, NULL, 0, "F(X) = X +", "F(1)", 0, QVCALC_EMPTY, 0, ""}, /* compatible: the slot stays */
  };
  for (size_t k = 0; k < sizeof rows / sizeof rows[0]; ++k) {
    qvcalc* calc = qvcalc_create();
    qvcalc_set_strict(calc, rows[k].strict);
    CHECK(qvcalc_strict(calc) == rows[k].strict);
    if (rows[k].variable) qvcalc_set_variable(calc, rows[k].variable, rows[k].value);
    if (rows[k].definition) qvcalc_define_user_func(calc, rows[k].definition);
    qvcalc_compile(calc, rows[k].expression);
    qvcalc_clear_error(calc); /* what a host may do before evaluating */
    qvcalc_result result;
    const int code = qvcalc_evaluate(calc, 0, &result);
    if (code != rows[k].code || result.kind != rows[k].kind || result.number != rows[k].number ||
        strncmp(qvcalc_error_description(calc), rows[k].description, strlen(rows[k].description)) != 0) {
      fprintf(stderr, "row %d (%s): code %d, kind %d, %g, '%s'\n", (int)k, rows[k].expression, code, result.kind,
              result.number, qvcalc_error_description(calc));
      ++failures;
    }
    qvcalc_destroy(calc);
  }

  /* Non-finite inputs, strict: in a variable (also once the fast tiers run it) and in a column. */
  qvcalc* calc = qvcalc_create();
  qvcalc_set_strict(calc, 1);
  qvcalc_set_variable(calc, "X", 2);
  qvcalc_compile(calc, "X > 1");
  for (int n = 0; n < 3; ++n) CHECK(qvcalc_evaluate(calc, 0, NULL) == 0);
  qvcalc_set_variable(calc, "X", nan);
  CHECK(qvcalc_evaluate(calc, 0, NULL) == 13 && strcmp(qvcalc_error_description(calc), "X is not a number") == 0);
  qvcalc_set_variable(calc, "X", -inf);
  CHECK(qvcalc_evaluate(calc, 0, NULL) == 13 && strcmp(qvcalc_error_description(calc), "X is infinite") == 0);
  const double xs[] = {nan, 3, inf, 0};
  const double* values[] = {xs};
  const char* names[] = {"X"};
  double out[4];
  int32_t status[4];
  qvcalc_clear_error(calc);
  CHECK(qvcalc_value_columns(calc, 0, names, values, 1, 4, out, status, 1) == 2);
  CHECK(status[0] == 13 && out[0] != out[0] && status[1] == 0 && out[1] == 1 && status[2] == 13 && out[3] == 0);

  /* Definitions replace under strict, and go with qvcalc_undefine_user_func under either profile. */
  qvcalc_define_user_func(calc, "F(X) = X + 1");
  qvcalc_compile(calc, "F(2) * 10");
  qvcalc_define_user_func(calc, "F(X) = X * 100");
  CHECK(qvcalc_error_code(calc) == 0 && qvcalc_num_user_funcs(calc) == 1 && qvcalc_value(calc) == 2000);
  CHECK(qvcalc_undefine_user_func(calc, "f") == 1 && qvcalc_num_user_funcs(calc) == 0);
  CHECK(qvcalc_evaluate(calc, 0, NULL) == 2 && qvcalc_undefine_user_func(calc, "F") == 0);
  qvcalc_destroy(calc);
  CHECK(qvcalc_strict(NULL) == 0 && qvcalc_undefine_user_func(NULL, "F") == 0);
}

int main(void) {
  struct events seen = {0, "", ""};
  qvcalc* calc = qvcalc_create();
  CHECK(calc != NULL);
  if (!calc) return 1;
  CHECK(strcmp(qvcalc_version(), "") != 0);
  CHECK(qvcalc_value(calc) == 0); /* before any compile: 0, no event, no error */
  CHECK(qvcalc_error_code(calc) == 0);
  int cookie = qvcalc_advise(calc, on_error, &seen);
  CHECK(cookie > 0);

  variables_and_values(calc);
  user_functions(calc);
  errors_and_events(calc, &seen);
  utf8_names(calc);
  host_extensions(calc);
  host_functions();
  columns(calc);
  lifecycle(calc, &seen, cookie);
  qvcalc_destroy(calc);
  null_handles();
  reproductions();

  if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
  return failures ? 1 : 0;
}
