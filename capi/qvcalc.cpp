// The C interface: each function forwards to the control behind the handle, converting UTF-8 at
// the edge. Every body runs inside Shielded, so no exception crosses into C.
#include "capi/qvcalc.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <span>
#include <stdexcept>
#include <memory>
#include <string>
#include <utility>

#include "control/DefinitionText.h"
#include "control/Failure.h"
#include "engine/Utf8.h"
#include "control/qvCalc.h"

// The functions that return a text, each with a place of its own for it in the handle: a text
// stays valid until the same function is called again on the handle.
enum class Returns { UserFunc, Expression, VariableName, ErrorDescription, ValueText, Evaluate, Count };

struct qvcalc {
  qvCalc control;
  std::array<std::string, size_t(Returns::Count)> texts;
};

struct qvcalc_variable {
  std::shared_ptr<qvVariable> record;
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

const char* Returned(qvcalc* calc, Returns function, const std::u16string& text) {
  std::string& place = calc->texts[size_t(function)];
  place = ToUtf8(text);
  return place.c_str();
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

// The result of an evaluation for qvcalc_evaluate; a text is kept in the handle's place for it.
void Describe(qvcalc* calc, const Variant& value, qvcalc_result& out) {
  out = {QVCALC_EMPTY, 0, ""};
  if (value.isNumber()) {
    out.kind = QVCALC_NUMBER;
    out.number = value.asDouble();
  } else if (value.isText()) {
    out.kind = QVCALC_TEXT;
    if (!value.toNumber(out.number)) out.number = 0;
    out.text = Returned(calc, Returns::Evaluate, value.asText());
  }
}

// A position in 16-bit units (1-based, from the start of text) in characters and in UTF-8 bytes;
// places past the end count one each.
int32_t CountPosition(std::u16string_view text, int64_t units, int32_t* utf8_position) {
  const size_t inside = size_t(std::min<int64_t>(units - 1, int64_t(text.size())));
  const std::u16string_view before = text.substr(0, inside);
  int64_t characters = 0;
  for (char16_t c : before)
    if (c < 0xDC00 || c > 0xDFFF) ++characters;  // a surrogate pair is one character
  const int64_t beyond = units - 1 - int64_t(inside);
  if (utf8_position) *utf8_position = int32_t(int64_t(ToUtf8(before).size()) + beyond + 1);
  return int32_t(characters + beyond + 1);
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
    return Returned(calc, Returns::UserFunc, calc->control.UserFunc(position));
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
    return Returned(calc, Returns::Expression, calc->control.Expression(position).toText());
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
    return Returned(calc, Returns::VariableName, calc->control.VariableName(position).toText());
  });
}

int16_t qvcalc_error_code(qvcalc* calc) {
  return OnHandle<int16_t>(calc, 0, [&] { return calc->control.ErrorCode(); });
}

const char* qvcalc_error_description(qvcalc* calc) {
  return OnHandle<const char*>(calc, "", [&] {
    return Returned(calc, Returns::ErrorDescription, calc->control.ErrorDescription());
  });
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

int qvcalc_evaluation_trap(qvcalc* calc) {
  return OnHandle(calc, 0, [&] { return calc->control.EvaluationTrap() ? 1 : 0; });
}

void qvcalc_set_evaluation_trap(qvcalc* calc, int on) {
  OnHandle(calc, 0, [&] {
    calc->control.SetEvaluationTrap(on != 0);
    return 0;
  });
}

int qvcalc_strict(const qvcalc* calc) {
  return calc && calc->control.Strict() ? 1 : 0;
}

void qvcalc_set_strict(qvcalc* calc, int on) {
  OnHandle(calc, 0, [&] {
    calc->control.SetStrict(on != 0);
    return 0;
  });
}

int qvcalc_undefine_user_func(qvcalc* calc, const char* name) {
  if (!name) return 0;
  return OnHandle(calc, 0, [&] { return calc->control.UndefineUserFunc(Incoming(name)) ? 1 : 0; });
}

struct qvcalc_failure {
  std::string message;
  bool failed = false;
};

void qvcalc_fail(qvcalc_failure* failure, const char* message) {
  if (!failure) return;
  failure->failed = true;
  failure->message = message ? message : "";
}

namespace {
// 1 when a definition left no new failure in the error state.
int Defined(qvcalc* calc, const std::function<void()>& define) {
  const int16_t before = calc->control.ErrorCode();
  const std::u16string said = calc->control.ErrorDescription();
  define();
  const int16_t after = calc->control.ErrorCode();
  return after == 0 || (after == before && calc->control.ErrorDescription() == said) ? 1 : 0;
}
}  // namespace

int qvcalc_define_function(qvcalc* calc, const char* name, int min_args, int max_args, int pure,
                           qvcalc_function function, void* user_data) {
  if (!name || !function) return 0;
  return OnHandle(calc, 0, [&] {
    qvFunction f;
    f.MinArgs = min_args;
    f.MaxArgs = max_args;
    f.Pure = pure != 0;
    f.Body = [function, user_data](std::span<const double> args) {
      qvcalc_failure failure;
      const double result = function(user_data, args.data(), int(args.size()), &failure);
      if (failure.failed) throw std::runtime_error(failure.message);
      return result;
    };
    return Defined(calc, [&] { calc->control.DefineFunction(name, std::move(f)); });
  });
}

int qvcalc_define_constant(qvcalc* calc, const char* name, double value) {
  if (!name) return 0;
  return OnHandle(calc, 0, [&] { return Defined(calc, [&] { calc->control.DefineConstant(name, value); }); });
}

int qvcalc_undefine_host_name(qvcalc* calc, const char* name) {
  if (!name) return 0;
  return OnHandle(calc, 0, [&] { return calc->control.UndefineHostName(name) ? 1 : 0; });
}

void qvcalc_add_extended_functions(qvcalc* calc) {
  OnHandle(calc, 0, [&] {
    calc->control.AddExtendedFunctions();
    return 0;
  });
}

char* qvcalc_copy(const char* text) {
  if (!text) return nullptr;
  const size_t size = std::strlen(text) + 1;
  char* copy = static_cast<char*>(std::malloc(size));
  if (copy) std::memcpy(copy, text, size);
  return copy;
}

void qvcalc_free(void* text) { std::free(text); }

size_t qvcalc_value_columns(qvcalc* calc, int32_t index, const char* const* names,
                            const double* const* values, size_t columns, size_t rows, double* out,
                            int32_t* status, unsigned threads) {
  if (!out || (columns > 0 && (!names || !values))) return 0;
  return OnHandle<size_t>(calc, 0, [&] {
    std::vector<qvColumn> list;
    for (size_t c = 0; c < columns; ++c)
      if (names[c] && values[c]) list.push_back({Incoming(names[c]), values[c]});
    return calc->control.ValueColumns(index, list, rows, out, status, threads);
  });
}

int qvcalc_evaluate(qvcalc* calc, int32_t index, qvcalc_result* result) {
  if (result) *result = {QVCALC_EMPTY, 0, ""};
  return OnHandle(calc, int(QVCALC_INVALID), [&] {
    calc->control.ClearError();
    int32_t which = index;
    const Variant value = calc->control.Result(which);
    if (result) Describe(calc, value, *result);
    return int(calc->control.ErrorCode());
  });
}

const char* qvcalc_value_text(qvcalc* calc, int32_t index) {
  return OnHandle<const char*>(calc, "", [&] {
    int32_t which = index;
    return Returned(calc, Returns::ValueText, calc->control.Result(which).toText());
  });
}

qvcalc_variable* qvcalc_bind_variable(qvcalc* calc, const char* name) {
  if (!name) return nullptr;
  return OnHandle<qvcalc_variable*>(calc, nullptr, [&]() -> qvcalc_variable* {
    auto record = calc->control.BindVariable(FromUtf8(name));
    return record ? new qvcalc_variable{std::move(record)} : nullptr;
  });
}

void qvcalc_variable_set(qvcalc_variable* variable, double value) {
  if (variable) variable->record->Value.setDouble(value);
}

double qvcalc_variable_get(const qvcalc_variable* variable) {
  double value = 0;
  if (!variable || !variable->record->Value.toNumber(value)) return 0;
  return value;
}

void qvcalc_release_variable(qvcalc_variable* variable) { delete variable; }

int32_t qvcalc_error_position(qvcalc* calc, int32_t* utf8_position) {
  if (utf8_position) *utf8_position = 0;
  return OnHandle(calc, 0, [&] {
    const int32_t position = calc->control.ErrorPosition();
    if (position <= 0) return 0;
    const int16_t source = calc->control.ErrorSource();
    std::u16string text;
    size_t start = 0;
    if (source > 0) {
      text = calc->control.Expression(Variant(int32_t(source))).toText();
    } else if (source < 0) {
      text = calc->control.UserFunc(Variant(int32_t(-source)));
      start = SplitDefinition(text).bodyStart;  // a body's positions count from its start
    }
    return CountPosition(text, int64_t(start) + position, utf8_position);
  });
}

}  // extern "C"
