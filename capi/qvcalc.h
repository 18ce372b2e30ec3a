/* qvcalc.h: the C interface of qvCalc, usable from C11 and from any language with a foreign
 * function interface. It mirrors the members of the control qvCalc one for one, and its ErrorMsg
 * event as a callback with a context pointer.
 *
 * Handles: a qvcalc handle is opaque; make it with qvcalc_create and end it with qvcalc_destroy.
 * A handle is used from one thread at a time; separate handles are independent.
 *
 * Text: every text in and out is UTF-8 and ends with a NUL. Malformed UTF-8 is read with U+FFFD
 * in place of the bad bytes. A text that a function returns belongs to the handle and stays
 * valid until the next call on the same handle (any call); copy it to keep it. A function never
 * returns NULL for a text: on a NULL handle it returns "".
 *
 * Failures: the engine's own failures (syntax errors, domain errors, undefined names) are read
 * through qvcalc_error_code and its companions, as with the control. Failures of the other
 * members are reported to the callbacks connected with qvcalc_advise, and the member returns 0 or
 * "". The two variable functions have no such handling: their failure is returned as a status,
 * the number of the run-time failure (for example 7 for exhausted memory). No C++ exception ever
 * leaves this interface.
 */
#ifndef QVCALC_H
#define QVCALC_H

#include <stdint.h>

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
 * the failing call; it may call functions on the same handle (not qvcalc_destroy), but those
 * overwrite the handle's returned text. */
typedef void (*qvcalc_error_callback)(void* context, const char* source, const char* description);

QVCALC_API const char* qvcalc_version(void); /* "1.0.0"; static, valid for ever */

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

#ifdef __cplusplus
}
#endif

#endif /* QVCALC_H */
