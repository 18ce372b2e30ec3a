// The C interface: each function forwards to the control behind the handle, converting UTF-8 at
// the edge. Every body runs inside Shielded, so no exception crosses into C.
#include "capi/qvcalc.h"

#include <string>
#include <utility>

#include "control/Failure.h"
#include "control/Utf8.h"
#include "control/qvCalc.h"

struct qvcalc {
  qvCalc control;
  std::string text;  // the text last returned; valid until the next call on the handle
};

namespace {

// Runs body; on any exception gives fallback. The control's members catch their own failures,
// so only the conversions here (exhausted memory) can throw.
template <class R, class Body>
R Shielded(R fallback, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

// The common frame of the handle functions: a NULL handle gives fallback without a call.
template <class R, class Body>
R OnHandle(qvcalc* calc, R fallback, Body&& body) noexcept {
  if (!calc) return fallback;
  return Shielded(fallback, std::forward<Body>(body));
}

const char* Returned(qvcalc* calc, const std::u16string& text) {
  calc->text = ToUtf8(text);
  return calc->text.c_str();
}

std::u16string Incoming(const char* text) { return FromUtf8(text ? text : ""); }

// The Variable property has no failure handler of its own: its failure becomes the status.
template <class Body>
int VariableStatus(qvcalc* calc, Body&& body) noexcept {
  return OnHandle(calc, int(QVCALC_INVALID), [&] {
    try {
      body();
      return int(QVCALC_OK);
    } catch (...) {
      return int(CaughtFailure().Number);
    }
  });
}

}  // namespace

extern "C" {

const char* qvcalc_version(void) { return QVCALC_VERSION; }

qvcalc* qvcalc_create(void) {
  return Shielded<qvcalc*>(nullptr, [] { return new qvcalc; });
}

void qvcalc_destroy(qvcalc* calc) {
  Shielded(0, [&] {
    delete calc;
    return 0;
  });
}

int qvcalc_advise(qvcalc* calc, qvcalc_error_callback callback, void* context) {
  if (!callback) return 0;
  return OnHandle(calc, 0, [&] {
    return calc->control.Advise([callback, context](std::u16string& source, std::u16string& description) {
      const std::string source8 = ToUtf8(source);
      const std::string description8 = ToUtf8(description);
      callback(context, source8.c_str(), description8.c_str());
    });
  });
}

void qvcalc_unadvise(qvcalc* calc, int cookie) {
  OnHandle(calc, 0, [&] {
    calc->control.Unadvise(cookie);
    return 0;
  });
}

void qvcalc_set_size(qvcalc* calc, int32_t width, int32_t height) {
  OnHandle(calc, 0, [&] {
    calc->control.SetSize(width, height);
    return 0;
  });
}

int32_t qvcalc_width(qvcalc* calc) {
  return OnHandle(calc, 0, [&] { return calc->control.Width(); });
}

int32_t qvcalc_height(qvcalc* calc) {
  return OnHandle(calc, 0, [&] { return calc->control.Height(); });
}

void qvcalc_all_math_functions(qvcalc* calc) {
  OnHandle(calc, 0, [&] {
    calc->control.All_Math_Functions();
    return 0;
  });
}

void qvcalc_define_user_func(qvcalc* calc, const char* definition) {
  OnHandle(calc, 0, [&] {
    std::u16string text = Incoming(definition);
    calc->control.DefineUserFunc(text);
    return 0;
  });
}

int16_t qvcalc_num_user_funcs(qvcalc* calc) {
  return OnHandle<int16_t>(calc, 0, [&] { return int16_t(calc->control.NumUserFuncs().asWhole()); });
}

const char* qvcalc_user_func(qvcalc* calc, int32_t index) {
  return OnHandle<const char*>(calc, "", [&] {
    Variant position(index);
    return Returned(calc, calc->control.UserFunc(position));
  });
}

void qvcalc_compile(qvcalc* calc, const char* expression) {
  OnHandle(calc, 0, [&] {
    std::u16string text = Incoming(expression);
    calc->control.Compile(text);
    return 0;
  });
}

double qvcalc_value(qvcalc* calc) {
  return OnHandle(calc, 0.0, [&] { return calc->control.Value(); });
}

double qvcalc_value_at(qvcalc* calc, int32_t* index) {
  return OnHandle(calc, 0.0, [&] { return index ? calc->control.Value(*index) : calc->control.Value(); });
}

int32_t qvcalc_num_expressions(qvcalc* calc) {
  return OnHandle(calc, 0, [&] { return calc->control.NumExpressions().asWhole(); });
}

const char* qvcalc_expression(qvcalc* calc, int32_t index) {
  return OnHandle<const char*>(calc, "", [&] {
    Variant position(index);
    return Returned(calc, calc->control.Expression(position).toText());
  });
}

void qvcalc_reset(qvcalc* calc) {
  OnHandle(calc, 0, [&] {
    calc->control.Reset();
    return 0;
  });
}

int qvcalc_set_variable(qvcalc* calc, const char* name, double value) {
  if (!name) return QVCALC_INVALID;
  return VariableStatus(calc, [&] {
    std::u16string text = FromUtf8(name);
    calc->control.Variable(text, value);
  });
}

int qvcalc_get_variable(qvcalc* calc, const char* name, double* value) {
  if (!name || !value) return QVCALC_INVALID;
  *value = 0;
  return VariableStatus(calc, [&] {
    std::u16string text = FromUtf8(name);
    *value = calc->control.Variable(text);
  });
}

int32_t qvcalc_num_variables(qvcalc* calc) {
  return OnHandle(calc, 0, [&] { return calc->control.NumVariables().asWhole(); });
}

const char* qvcalc_variable_name(qvcalc* calc, int32_t index) {
  return OnHandle<const char*>(calc, "", [&] {
    Variant position(index);
    return Returned(calc, calc->control.VariableName(position).toText());
  });
}

int16_t qvcalc_error_code(qvcalc* calc) {
  return OnHandle<int16_t>(calc, 0, [&] { return calc->control.ErrorCode(); });
}

const char* qvcalc_error_description(qvcalc* calc) {
  return OnHandle<const char*>(calc, "", [&] { return Returned(calc, calc->control.ErrorDescription()); });
}

int16_t qvcalc_error_source(qvcalc* calc) {
  return OnHandle<int16_t>(calc, 0, [&] { return calc->control.ErrorSource(); });
}

int16_t qvcalc_error_pos(qvcalc* calc) {
  return OnHandle<int16_t>(calc, 0, [&] { return calc->control.ErrorPos(); });
}

void qvcalc_clear_error(qvcalc* calc) {
  OnHandle(calc, 0, [&] {
    calc->control.ClearError();
    return 0;
  });
}

void qvcalc_seed_random(qvcalc* calc, uint64_t seed) {
  OnHandle(calc, 0, [&] {
    calc->control.SeedRandom(seed);
    return 0;
  });
}

}  // extern "C"
