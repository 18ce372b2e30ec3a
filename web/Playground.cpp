// The playground's engine: one qvExpression under the strict profile (or the compatible rules),
// driven from JavaScript through embind. Each call takes and gives UTF-8 texts and plain
// objects, so the page never touches the engine's types. Failures come back as
// {code, description, position}; position is the 1-based column in the text the caller gave,
// 0 when the failure has none (a failure while evaluating).
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "cli/FunctionHelp.h"
#include "engine/Utf8.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/qvExpression.h"

using emscripten::val;

namespace {

// The engine's failure as the page shows it, and the error state cleared for the next call.
val TakeFailure(qvExpression& engine, bool withPosition) {
  val failure = val::object();
  failure.set("code", engine.ErrorCode());
  failure.set("description", ToUtf8(engine.ErrorDescription()));
  failure.set("position", withPosition ? engine.ErrorPos() : 0);
  engine.ClearError();
  return failure;
}

val Outcome(qvExpression& engine, bool withPosition) {
  return engine.ErrorCode() == 0 ? val::null() : TakeFailure(engine, withPosition);
}

}  // namespace

class Playground {
 public:
  // A fresh engine: nothing defined but the extended functions (as in the calculator), the
  // profile chosen.
  void Start(bool strict) {
    engine_ = std::make_unique<qvExpression>();
    engine_->SetStrict(strict);
    qvAddExtendedFunctions(*engine_);
  }

  // NAME = the value of Expression, as the calculator's -v NAME=EXPR; null or the failure.
  val Assign(const std::string& name, const std::string& expression) {
    const int16_t index = engine_->Compile(std::string_view(expression));
    if (engine_->ErrorCode() != 0) return TakeFailure(*engine_, true);
    const Variant value = engine_->Value(int32_t(index));
    if (engine_->ErrorCode() != 0) return TakeFailure(*engine_, false);
    auto variable = engine_->BindVariable(std::string_view(name));
    if (!variable) return Refusal(name + " is not a name for a variable");
    variable->Value = value;
    return val::null();
  }

  // Name(P, ...) = body; null or the failure, positioned in the definition's text.
  val Define(const std::string& definition) {
    engine_->UserFunc(std::string_view(definition));
    return Outcome(*engine_, true);
  }

  // A(3) or A(2, 3), optionally "= v, v, ..." giving the elements of a one-bound array from 0.
  val DefineArray(const std::string& line) {
    const size_t equals = line.find('=');
    const std::string head = line.substr(0, equals);
    engine_->DefineArray(std::string_view(head));
    if (engine_->ErrorCode() != 0) return TakeFailure(*engine_, true);
    if (equals == std::string::npos) return val::null();
    int16_t slot = 0, dims = 0;
    std::vector<int16_t> bounds;
    engine_->GetArrayDetails(FromUtf8(head.substr(0, head.find('('))), slot, dims, bounds);
    if (slot == 0 || dims != 1) return Refusal("only an array of one bound takes a list of values");
    int16_t element = 0;
    for (size_t from = equals + 1; from <= line.size(); ++element) {
      const size_t comma = std::min(line.find(',', from), line.size());
      if (element > bounds[1]) return Refusal("more values than elements");
      const int16_t index = engine_->Compile(std::string_view(line).substr(from, comma - from));
      const Variant value = engine_->ErrorCode() == 0 ? engine_->Value(int32_t(index)) : Variant();
      if (engine_->ErrorCode() != 0) return TakeFailure(*engine_, false);
      engine_->ArrayValue(slot, value, element);
      from = comma + 1;
    }
    return val::null();
  }

  // Compiles and evaluates Formula: {value (the calculator's text), number, listing} or
  // {failure, listing}; the listing is there once the text compiled.
  val Evaluate(const std::string& formula) {
    val result = val::object();
    const int16_t compiled = engine_->Compile(std::string_view(formula));
    if (engine_->ErrorCode() != 0) {
      result.set("failure", TakeFailure(*engine_, true));
      return result;
    }
    result.set("listing", Listing());
    const Variant value = engine_->Value(int32_t(compiled));
    if (engine_->ErrorCode() != 0) {
      result.set("failure", TakeFailure(*engine_, false));
      return result;
    }
    result.set("value", ToUtf8(value.toText()));
    result.set("number", value.isNumber() ? value.asDouble() : std::nan(""));
    return result;
  }

  // Formula over Points values of Variable evenly from From to To, with one call over a column:
  // {xs, ys} as Float64Arrays, NaN where a point failed; or {failure}.
  val Plot(const std::string& formula, const std::string& variable, double from, double to, int points) {
    val result = val::object();
    if (points < 2 || points > 1000000 || !std::isfinite(from) || !std::isfinite(to)) {
      result.set("failure", Refusal("a plot needs 2 to 1,000,000 points over a finite range"));
      return result;
    }
    if (!engine_->BindVariable(std::string_view(variable))) {
      result.set("failure", Refusal(variable + " is not a name for a variable"));
      return result;
    }
    const int16_t index = engine_->Compile(std::string_view(formula));
    if (engine_->ErrorCode() != 0) {
      result.set("failure", TakeFailure(*engine_, true));
      return result;
    }
    xs_.resize(size_t(points));
    ys_.assign(size_t(points), 0.0);
    status_.assign(size_t(points), 0);
    for (int i = 0; i < points; ++i) xs_[size_t(i)] = from + (to - from) * i / (points - 1);
    const std::vector<qvColumn> columns{{FromUtf8(variable), xs_.data()}};
    engine_->ValueColumns(index, columns, size_t(points), ys_.data(), status_.data(), 1);
    for (size_t i = 0; i < ys_.size(); ++i)
      if (status_[i] != 0 || !std::isfinite(ys_[i])) ys_[i] = std::nan("");
    engine_->ClearError();
    result.set("xs", val::global("Float64Array").new_(val(emscripten::typed_memory_view(xs_.size(), xs_.data()))));
    result.set("ys", val::global("Float64Array").new_(val(emscripten::typed_memory_view(ys_.size(), ys_.data()))));
    return result;
  }

 private:
  static val Refusal(const std::string& description) {
    val failure = val::object();
    failure.set("code", 0);
    failure.set("description", description);
    failure.set("position", 0);
    return failure;
  }

  // The postfix listing of the expression last compiled; an array access has no name in it,
  // which the engine reports as a failure.
  std::string Listing() {
    try {
      return ToUtf8(engine_->RPNExpression());
    } catch (const qvRuntimeError& failure) {
      return "(no listing: " + ToUtf8(failure.Description) + ")";
    }
  }

  std::unique_ptr<qvExpression> engine_ = std::make_unique<qvExpression>();
  std::vector<double> xs_, ys_;
  std::vector<int32_t> status_;
};

// The language reference: the operators from the opcode table, then the built-in functions as
// the calculator's ":help" lists them, the extended ones last; each {kind, name, usage, help}.
val Reference() {
  val rows = val::array();
  for (const qv::OpcodeRow& row : qv::kOpcodeRows) {
    if (row.kind != qv::OpKind::Unary && row.kind != qv::OpKind::Operator && row.kind != qv::OpKind::WordOperator)
      continue;
    val item = val::object();
    item.set("kind", std::string("operator"));
    item.set("name", ToUtf8(row.name));
    item.set("usage", std::string(row.help.substr(0, row.help.find(':'))));
    item.set("help", std::string(row.help.substr(row.help.find(':') == std::string_view::npos ? 0 : row.help.find(':') + 2)));
    rows.call<void>("push", item);
  }
  const auto functions = [&](std::span<const FunctionHelp> list) {
    for (const FunctionHelp& function : list) {
      val item = val::object();
      item.set("kind", std::string("function"));
      item.set("name", std::string(function.name));
      item.set("usage", std::string(function.usage));
      item.set("help", std::string(function.help));
      rows.call<void>("push", item);
    }
  };
  functions(BuiltinFunctions());
  functions(ExtendedFunctions());
  return rows;
}

EMSCRIPTEN_BINDINGS(qvPlayground) {
  emscripten::class_<Playground>("Playground")
      .constructor<>()
      .function("start", &Playground::Start)
      .function("assign", &Playground::Assign)
      .function("define", &Playground::Define)
      .function("defineArray", &Playground::DefineArray)
      .function("evaluate", &Playground::Evaluate)
      .function("plot", &Playground::Plot);
  emscripten::function("reference", &Reference);
}
