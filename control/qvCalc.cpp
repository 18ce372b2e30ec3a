// The control: forwarding to the engine, the conversions of its results, and ErrorTrap.
#include "control/qvCalc.h"

#include <exception>
#include <limits>

#include "control/ControlMessages.h"
#include "control/Failure.h"
#include "control/Guarded.h"
#include "engine/Messages.h"

namespace {

// ErrorTrap reports a failure of its own through itself; a sink that fails on every report would
// repeat that without end, so reports nest at most this deep (the first report and two reports
// of ErrorTrap's own failures), and deeper ones are dropped.
constexpr int kMaxTrapDepth = 3;

constexpr int32_t kFixedWidth = 600;  // twips
constexpr int32_t kFixedHeight = 330;

// The 32-bit error fields as the control's 16-bit results; outside the range, failure 6.
int16_t Narrow16(int32_t value) {
  if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
    RaiseRuntimeError(kErrOverflow);
  return int16_t(value);
}

// Value's conversion of the engine's result: a number as itself, empty (nothing evaluated) as 0,
// a text that reads as a number as that number, any other text as failure 13. The value type
// has no null kind, so failure 94 cannot arise here.
double ResultAsDouble(const Variant& result) {
  if (result.isEmpty()) return 0;
  double number = 0;
  if (!result.toNumber(number)) RaiseRuntimeError(kErrTypeMismatch);
  return number;
}

}  // namespace

// UserControl_Initialize: the engine seeds its random generator from the clock when it is
// created, and it is created on first use, so nothing else is needed here.
qvCalc::qvCalc() = default;

// UserControl_Terminate: releasing the engine reference ends the engine.
qvCalc::~qvCalc() {
  Guarded(u"UserControl_Terminate", [&] { engine_.reset(); });
}

qvExpression& qvCalc::Engine() {
  if (!engine_) engine_ = std::make_unique<qvExpression>();
  return *engine_;
}

// ---- ErrorMsg sinks and the container ----

int qvCalc::Advise(ErrorMsgSink sink) {
  if (!sink) return 0;  // an empty sink could not be called; 0 is never a cookie
  sinks_.emplace_back(nextCookie_, std::move(sink));
  return nextCookie_++;
}

void qvCalc::Unadvise(int cookie) {
  std::erase_if(sinks_, [cookie](const auto& entry) { return entry.first == cookie; });
}

// UserControl_Resize: whatever size the container asks for, the control keeps 600 by 330 twips.
void qvCalc::SetSize(int32_t, int32_t) {
  Guarded(u"UserControl_Resize", [&] {
    width_ = kFixedWidth;
    height_ = kFixedHeight;
  });
}

int32_t qvCalc::Width() const { return width_; }
int32_t qvCalc::Height() const { return height_; }

// ---- members of the interface, in interface order ----

Variant qvCalc::All_Math_Functions() { return Variant(); }

void qvCalc::DefineUserFunc(std::u16string& Func) {
  Guarded(u"DefineUserFunc", [&] { Engine().UserFunc(Func); });
}

Variant qvCalc::NumUserFuncs() {
  Variant result;
  Guarded(u"NumUserFuncs", [&] { result = Variant(int16_t(Engine().NumUserFuncs())); });
  return result;
}

std::u16string qvCalc::UserFunc(Variant& Index) {
  std::u16string result;
  Guarded(u"UserFunc", [&] { result = Engine().UserFuncText(Index); });
  return result;
}

// Always index 0: every call stores its text under a new expression number, which the host
// does not receive.
void qvCalc::Compile(std::u16string& Expression) {
  Guarded(u"Compile", [&] {
    int16_t index = 0;
    Engine().Compile(Expression, index);
  });
}

double qvCalc::Value() {
  int32_t index = 0;
  return Value(index);
}

double qvCalc::Value(int32_t& Index) {
  double result = 0;
  Guarded(u"Value", [&] { result = ResultAsDouble(Engine().Value(Index)); });
  return result;
}

Variant qvCalc::NumExpressions() {
  Variant result;
  Guarded(u"NumExpressions", [&] { result = Variant(int32_t(Engine().NumExpressions())); });
  return result;
}

Variant qvCalc::Expression(Variant& Index) {
  Variant result;
  Guarded(u"Expression", [&] { result = Variant(Engine().ExpressionText(Index)); });
  return result;
}

void qvCalc::Reset() {
  Guarded(u"Reset", [&] { Engine().Reset(); });
}

// The Variable property has no failure handler: a failure here is the failure of the host's
// call. The engine itself reports an unknown name in VariableValue as error 11 and returns 0,
// so in practice only exhausted memory reaches the host.
double qvCalc::Variable(std::u16string& VarName) { return Engine().VariableValue(Variant(VarName)); }

void qvCalc::Variable(std::u16string& VarName, double& NewValue) {
  Engine().Variable(Variant(VarName), NewValue);
}

Variant qvCalc::NumVariables() {
  Variant result;
  Guarded(u"NumVariables", [&] { result = Variant(int32_t(Engine().NumVariables())); });
  return result;
}

Variant qvCalc::VariableName(Variant& Index) {
  Variant result;
  Guarded(u"VariableName", [&] { result = Variant(Engine().VariableName(Index)); });
  return result;
}

int16_t qvCalc::ErrorCode() {
  int16_t result = 0;
  Guarded(u"ErrorCode", [&] { result = Narrow16(Engine().ErrorCode()); });
  return result;
}

std::u16string qvCalc::ErrorDescription() {
  std::u16string result;
  Guarded(u"ErrorDescription", [&] { result = Engine().ErrorDescription(); });
  return result;
}

int16_t qvCalc::ErrorSource() {
  int16_t result = 0;
  Guarded(u"ErrorSource", [&] { result = Narrow16(Engine().ErrorSource()); });
  return result;
}

int16_t qvCalc::ErrorPos() {
  int16_t result = 0;
  Guarded(u"ErrorPos", [&] { result = Narrow16(Engine().ErrorPos()); });
  return result;
}

void qvCalc::ClearError() {
  Guarded(u"ClearError", [&] { Engine().ClearError(); });
}

void qvCalc::SeedRandom(uint64_t Seed) {
  Guarded(u"SeedRandom", [&] { Engine().SeedRandom(Seed); });
}

bool qvCalc::EvaluationTrap() { return Engine().EvaluationTrap(); }

void qvCalc::SetEvaluationTrap(bool On) { Engine().SetEvaluationTrap(On); }

bool qvCalc::Strict() const { return engine_ && engine_->Strict(); }  // no engine yet: as created

void qvCalc::SetStrict(bool On) {
  Guarded(u"SetStrict", [&] { Engine().SetStrict(On); });
}

bool qvCalc::UndefineUserFunc(std::u16string_view Name) {
  bool removed = false;
  Guarded(u"UndefineUserFunc", [&] { removed = Engine().UndefineUserFunc(Name); });
  return removed;
}

void qvCalc::DefineFunction(std::string_view Name, int Arity, std::function<double(std::span<const double>)> Body) {
  Guarded(u"DefineFunction", [&] { Engine().DefineFunction(Name, Arity, std::move(Body)); });
}

void qvCalc::DefineFunction(std::string_view Name, qvFunction Function) {
  Guarded(u"DefineFunction", [&] { Engine().DefineFunction(Name, std::move(Function)); });
}

void qvCalc::DefineFunction(std::string_view Name, qvTextFunction Function) {
  Guarded(u"DefineFunction", [&] { Engine().DefineFunction(Name, std::move(Function)); });
}

void qvCalc::DefineConstant(std::string_view Name, double Value) {
  Guarded(u"DefineConstant", [&] { Engine().DefineConstant(Name, Value); });
}

bool qvCalc::UndefineHostName(std::string_view Name) {
  bool removed = false;
  Guarded(u"UndefineHostName", [&] { removed = Engine().UndefineHostName(Name); });
  return removed;
}

void qvCalc::AddExtendedFunctions() {
  Guarded(u"AddExtendedFunctions", [&] { qvAddExtendedFunctions(Engine()); });
}

// ---- the error report ----

// "Error " N " has occured in " Source, raised with the failure's own text to every sink; 94 is
// ignored. A failure while composing or raising is reported through ErrorTrap itself.
void qvCalc::ErrorTrap(const std::u16string& Source, const qvRuntimeError& Failure) {
  if (Failure.Number == kErrNull || trapDepth_ >= kMaxTrapDepth) return;
  ++trapDepth_;
  try {
    std::u16string text(qv::msg::kErrorWord);
    text.append(qv::WholeToText(Failure.Number)).append(qv::msg::kHasOccured).append(Source);
    std::u16string description = Failure.Description;
    RaiseErrorMsg(text, description);
  } catch (...) {
    const qvRuntimeError failure = CaughtFailure();
    ErrorTrap(ControlSource(qv::msg::kErrorTrapName), failure);
  }
  --trapDepth_;
}

// Synchronously, to every sink connected when the event starts (a sink may connect or
// disconnect sinks while it runs). Each sink gets its own copies, since it may change them. A
// sink that fails does not keep the event from the others; the first failure is passed on
// afterwards, to be reported.
void qvCalc::RaiseErrorMsg(std::u16string& Source, std::u16string& Description) {
  const auto sinks = sinks_;
  std::exception_ptr firstFailure;
  for (const auto& entry : sinks) {
    try {
      std::u16string source = Source;
      std::u16string description = Description;
      entry.second(source, description);
    } catch (...) {
      if (!firstFailure) firstFailure = std::current_exception();
    }
  }
  if (firstFailure) std::rethrow_exception(firstFailure);
}
