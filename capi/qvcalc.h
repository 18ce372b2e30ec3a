/* qvcalc.h: the C interface of qvCalc, usable from C11 and from any language with a foreign
 * function interface. It mirrors the members of the control qvCalc one for one, and its ErrorMsg
 * event as a callback with a context pointer; beyond them it gives results as text, bound
 * variables for fast loops and an evaluation that starts from a clear error state.
 *
 * Handles: a qvcalc handle is opaque; make it with qvcalc_create and end it with qvcalc_destroy.
 * A new handle keeps the control's compatible rules (a misspelt name becomes a variable holding 0,
 * SQR(-4) passes unrecorded); qvcalc_set_strict(calc, 1) chooses the strict profile, which makes
 * such mistakes errors and which new hosts should turn on first (see qvcalc_set_strict).
 *
 * Threads: a handle is not thread-safe. Calls on one handle (and on the variable handles bound
 * from it) must not overlap; one thread at a time may use it, and it may pass from thread to
 * thread between calls. Separate handles share nothing and may be used on different threads at
 * the same time. qvcalc_version, qvcalc_copy and qvcalc_free may be called from any thread.
 *
 * Text: every text in and out is UTF-8 and ends with a NUL. Malformed UTF-8 is read with U+FFFD
 * in place of the bad bytes. A text that a function returns belongs to the handle and stays
 * valid until the same function is called again on the same handle, or the handle is destroyed;
 * texts of different functions can be used side by side, as in
 *     printf("%s: %s\n", qvcalc_expression(calc, 1), qvcalc_error_description(calc));
 * To keep a text longer, or two texts of the same function, copy it with qvcalc_copy and free
 * the copy with qvcalc_free. A function never returns NULL for a text: on a NULL handle it
 * returns "".
 *
 * Failures: the engine's own failures (syntax errors, domain errors, undefined names) are read
 * through qvcalc_error_code and its companions, as with the control. While an error is recorded
 * the engine refuses to evaluate anything (qvcalc_value then returns 0) until the error is
 * cleared with qvcalc_clear_error or by the next compilation; qvcalc_evaluate clears it first and
 * returns the code of its own evaluation. An expression whose compilation failed is never run:
 * evaluating it, also after the error was cleared, records its compilation's failure again. With the evaluation trap on (the state at creation) a
 * failing step of arithmetic, such as SQR(-4), leaves the value it started from and records
 * nothing; qvcalc_set_evaluation_trap(calc, 0) makes such failures recorded errors. Failures of
 * the other members are reported to the callbacks connected with qvcalc_advise, and the member
 * returns 0 or "". The two variable functions have no such handling: their failure is returned as
 * a status, the number of the run-time failure (for example 7 for exhausted memory). No C++
 * exception ever leaves this interface.
 *
 * Error positions: qvcalc_error_pos is the control's member, counted in 16-bit units (UTF-16) and
 * limited to 32767; qvcalc_error_position gives the position in characters and in UTF-8 bytes,
 * to any length.
 */
#ifndef QVCALC_H
#define QVCALC_H

#include <stddef.h>
#include <stdint.h>

#include "qvcalc_version.h"

#if defined(QVCALC_BUILDING_LIBRARY)
#define QVCALC_API __attribute__((visibility("default")))
#else
#define QVCALC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct qvcalc qvcalc;

/* Status of the variable functions: QVCALC_OK, QVCALC_INVALID for a NULL handle or text, or the
 * positive number of the run-time failure of the call. */
enum { QVCALC_OK = 0, QVCALC_INVALID = -1 };

/* The ErrorMsg event: source is "Error <n> has occured in QvCalc.ocx, <member>", description the
 * failure's own text. Both are valid only during the call. The callback runs synchronously inside
 * the failing call; it may call functions on the same handle (not qvcalc_destroy), under the rule
 * for returned texts above. */
typedef void (*qvcalc_error_callback)(void* context, const char* source, const char* description);

/* The library's version, QVCALC_VERSION when it was built ("1.0.0"); static, valid for ever. A
 * program may compare it with the QVCALC_VERSION it was compiled with. */
QVCALC_API const char* qvcalc_version(void);

QVCALC_API qvcalc* qvcalc_create(void); /* NULL when memory is exhausted */
QVCALC_API void qvcalc_destroy(qvcalc* calc);

/* Connect a callback; returns its cookie (above 0), or 0 when the handle or callback is NULL. */
QVCALC_API int qvcalc_advise(qvcalc* calc, qvcalc_error_callback callback, void* context);
QVCALC_API void qvcalc_unadvise(qvcalc* calc, int cookie);

/* The container's size in twips; the control keeps 600 by 330 whatever is asked. */
QVCALC_API void qvcalc_set_size(qvcalc* calc, int32_t width, int32_t height);
QVCALC_API int32_t qvcalc_width(qvcalc* calc);
QVCALC_API int32_t qvcalc_height(qvcalc* calc);

/* Members of the control, in its order. */
QVCALC_API void qvcalc_all_math_functions(qvcalc* calc); /* does nothing: its result is empty */
QVCALC_API void qvcalc_define_user_func(qvcalc* calc, const char* definition);
QVCALC_API int16_t qvcalc_num_user_funcs(qvcalc* calc);
QVCALC_API const char* qvcalc_user_func(qvcalc* calc, int32_t index);
QVCALC_API void qvcalc_compile(qvcalc* calc, const char* expression);
/* The value of the last expression compiled. */
QVCALC_API double qvcalc_value(qvcalc* calc);
/* The value of expression *index; 0 or an index out of range means the last one, and a negative
 * *index is overwritten with that expression's number. */
QVCALC_API double qvcalc_value_at(qvcalc* calc, int32_t* index);
QVCALC_API int32_t qvcalc_num_expressions(qvcalc* calc);
QVCALC_API const char* qvcalc_expression(qvcalc* calc, int32_t index);
QVCALC_API void qvcalc_reset(qvcalc* calc);
/* The Variable property: put and get. A name that reads as a number is never stored; the get
 * of a name that is neither stored nor numeric gives 0 and records error 11. */
QVCALC_API int qvcalc_set_variable(qvcalc* calc, const char* name, double value);
QVCALC_API int qvcalc_get_variable(qvcalc* calc, const char* name, double* value);
QVCALC_API int32_t qvcalc_num_variables(qvcalc* calc);
QVCALC_API const char* qvcalc_variable_name(qvcalc* calc, int32_t index);
QVCALC_API int16_t qvcalc_error_code(qvcalc* calc);
QVCALC_API const char* qvcalc_error_description(qvcalc* calc);
QVCALC_API int16_t qvcalc_error_source(qvcalc* calc);
QVCALC_API int16_t qvcalc_error_pos(qvcalc* calc);
QVCALC_API void qvcalc_clear_error(qvcalc* calc);

/* Beyond the control's members: makes RND repeatable. */
QVCALC_API void qvcalc_seed_random(qvcalc* calc, uint64_t seed);

/* The evaluation trap: 1 when on (the state at creation), 0 when off. Off, a failing step of an
 * evaluation (SQR(-4), an overflow, MOD by zero, a text that is no number, ...) is recorded as an
 * error and ends that evaluation instead of being passed over. */
QVCALC_API int qvcalc_evaluation_trap(qvcalc* calc);
QVCALC_API void qvcalc_set_evaluation_trap(qvcalc* calc, int on);

/* The strict profile: 1 when on, 0 when off (the state at creation, the control's own rules).
 * Strict turns the evaluation trap off and adds the rules that keep a mistake from passing for a
 * number:
 *   - a name that is not a variable fails its compilation with error 3, "Undefined variable: Pirce
 *     (did you mean Price?)", instead of becoming a variable that reads 0: set every variable
 *     (qvcalc_set_variable, qvcalc_bind_variable) before compiling the expressions that read it;
 *   - a variable, column value or array element that is NaN or infinite fails the evaluation or
 *     the row with error 13, "X is not a number" or "X is infinite";
 *   - a failing step (SQR(-4), an overflow, a user function's own failure) fails the evaluation,
 *     the function's failure named " in User Function 'G'";
 *   - a definition that fails leaves no function behind, and a definition of a name already
 *     defined replaces that function.
 * Hosts that start fresh are advised to turn it on right after qvcalc_create:
 *     qvcalc* calc = qvcalc_create();
 *     qvcalc_set_strict(calc, 1);
 * qvcalc_strict gives 0 for NULL. */
QVCALC_API int qvcalc_strict(const qvcalc* calc);
QVCALC_API void qvcalc_set_strict(qvcalc* calc, int on);

/* Removes the user function name (compared without regard to case); the functions defined after
 * it keep their order. Expressions compiled earlier that call a user function are compiled again,
 * so one that called it now fails with error 2, "Unknown function". Returns 1 when a function was
 * removed, 0 when none has that name (or for NULL). */
QVCALC_API int qvcalc_undefine_user_func(qvcalc* calc, const char* name);

/* Host functions and constants. A host function is called with its arguments (count of them) and
 * the user_data given at its definition; it gives its result, or fails the call with
 * qvcalc_fail(failure, message) (the value it then returns is not used). A failure, or a result
 * that is not finite, is a run-time failure of the evaluation (error 6) whose description names
 * the function and carries the message, for example "Clamp(5): above the limit". It is called
 * with min_args to max_args arguments (max_args -1: any number from min_args on; at most 40).
 * pure: 1 when the same arguments always give the same result, so that an evaluation over
 * columns may call it from several threads at once; 0 makes such an evaluation run its rows in
 * order on one thread. Names are compared without regard to case; a name that is a built-in
 * function, an operator word, a user function, an array, a variable or a host constant is refused
 * (error 10); defining a host function's name again replaces it. Expressions compiled before keep
 * the function and the constants' values they were compiled with until compiled again. Each
 * returns 1 when defined, 0 when refused (or for NULL).
 *
 *     static double clamp(void* limit, const double* args, int count, qvcalc_failure* failure) {
 *       if (args[0] > *(double*)limit) qvcalc_fail(failure, "above the limit");
 *       return args[0];
 *     }
 *     qvcalc_define_function(calc, "Clamp", 1, 1, 1, clamp, &limit);
 *     qvcalc_define_constant(calc, "Limit", limit); */
typedef struct qvcalc_failure qvcalc_failure;
typedef double (*qvcalc_function)(void* user_data, const double* args, int count, qvcalc_failure* failure);
QVCALC_API void qvcalc_fail(qvcalc_failure* failure, const char* message);
QVCALC_API int qvcalc_define_function(qvcalc* calc, const char* name, int min_args, int max_args, int pure,
                                      qvcalc_function function, void* user_data);
/* A named constant: read-only (qvcalc_set_variable refuses it, error 10), its value compiled in. */
QVCALC_API int qvcalc_define_constant(qvcalc* calc, const char* name, double value);
/* Removes the host function or constant name; 1 when one was removed. */
QVCALC_API int qvcalc_undefine_host_name(qvcalc* calc, const char* name);
/* ROUND(x[, digits]), CEIL, FLOOR, ATN2(y, x), LOG2, HYPOT(x, y) and the constant E, which a
 * handle leaves out unless asked. */
QVCALC_API void qvcalc_add_extended_functions(qvcalc* calc);

/* A copy of text that the caller owns and frees with qvcalc_free; NULL for NULL or when memory is
 * exhausted. qvcalc_free(NULL) does nothing. */
QVCALC_API char* qvcalc_copy(const char* text);
QVCALC_API void qvcalc_free(void* text);

/* The kinds of an evaluation's result. */
enum { QVCALC_EMPTY = 0, QVCALC_NUMBER = 1, QVCALC_TEXT = 2 };

typedef struct qvcalc_result {
  int kind;          /* QVCALC_EMPTY (nothing was evaluated), QVCALC_NUMBER or QVCALC_TEXT */
  double number;     /* the number; for a text the number it reads as, else 0; 0 when empty */
  const char* text;  /* for QVCALC_TEXT the text, "" otherwise; valid until the next
                        qvcalc_evaluate on the handle */
} qvcalc_result;

/* Clears any recorded error, then evaluates expression index (0, or an index that names no
 * expression: the last one compiled) and fills *result when result is not NULL. Returns the
 * error code that this evaluation recorded, 0 when it succeeded; the error's description and
 * position are then read as usual. A text result is no failure here (no ErrorMsg event). On a
 * NULL handle it returns QVCALC_INVALID and leaves *result empty. */
QVCALC_API int qvcalc_evaluate(qvcalc* calc, int32_t index, qvcalc_result* result);

/* The value of expression index, as qvcalc_value_at evaluates it (refused while an error is
 * recorded), written as text: a number in the engine's general form ("0.25", "1E+21"), a text as
 * itself, "" when nothing was evaluated. */
QVCALC_API const char* qvcalc_value_text(qvcalc* calc, int32_t index);

/* A variable bound for fast loops: compiled expressions read the value set through it, without a
 * look-up by name. qvcalc_bind_variable creates the variable with the value 0 when it is new; it
 * returns NULL for a NULL handle or name, a name that reads as a number, or exhausted memory. The
 * binding stays valid until qvcalc_release_variable, also after qvcalc_reset or qvcalc_destroy,
 * but a reset removes the variable from the engine: bind again after one. A binding follows the
 * thread rule of the handle it came from. qvcalc_variable_get gives 0 for a value that is no
 * number and for NULL. */
typedef struct qvcalc_variable qvcalc_variable;
QVCALC_API qvcalc_variable* qvcalc_bind_variable(qvcalc* calc, const char* name);
QVCALC_API void qvcalc_variable_set(qvcalc_variable* variable, double value);
QVCALC_API double qvcalc_variable_get(const qvcalc_variable* variable);
QVCALC_API void qvcalc_release_variable(qvcalc_variable* variable);

/* Evaluates expression index once for each row r in [0, rows): the variable named names[c] holds
 * values[c][r] for each of the columns columns (names compared without regard to case; a name the
 * expression does not use is ignored, a variable that does not exist is not created), the others
 * keep their values. out[r] receives the row's value as a number (a text that reads as a number
 * gives that number; a failed row gives NaN), status[r], when status is not NULL, the error code
 * that evaluating the row alone would have recorded (0 for none; 13 for a text that is no
 * number). Index 0 is the last expression compiled; an index that names no expression, one whose
 * compilation failed, or an error recorded before the call, gives every row that code (9, the
 * compilation's, or the recorded one). threads
 * splits the rows over that many threads (0: one per core); results do not depend on it. The
 * handle's error state and variables are as before the call. Returns the number of rows whose
 * status is 0; 0 for a NULL handle or arrays. */
QVCALC_API size_t qvcalc_value_columns(qvcalc* calc, int32_t index, const char* const* names,
                                       const double* const* values, size_t columns, size_t rows,
                                       double* out, int32_t* status, unsigned threads);

/* The position of the recorded error, 1-based, in the text it was found in: the expression
 * qvcalc_error_source names (qvcalc_expression), or for an error of a definition (a negative
 * source) the definition (qvcalc_user_func). Returns the position in characters (Unicode code
 * points) and, when utf8_position is not NULL, stores the position in UTF-8 bytes there, so that
 * text + *utf8_position - 1 is where the character starts. A position past the end counts one
 * for each place. Both are 0 when the error has no position. */
QVCALC_API int32_t qvcalc_error_position(qvcalc* calc, int32_t* utf8_position);

#ifdef __cplusplus
}
#endif

#endif /* QVCALC_H */
