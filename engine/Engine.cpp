// The engine: creation and destruction, its settings, compiling, Value, the listing, the call over
// columns and the resets; the user functions' members are in engine/stores/UserFunctions.cpp.
#include "engine/Engine.h"

#include "engine/compile/Compiler.h"
#include "engine/compile/Listing.h"
#include "engine/compile/Scanner.h"
#include "engine/eval/Columns.h"
#include "engine/eval/Inputs.h"

namespace qv {

Engine::Engine() : Engine(std::make_shared<RandomGenerator>()) {}

// Creation, in this order: no arrays; one empty expression record (index 0); the opcode table
// (built by its own constructor); the two switches; the empty variable store; no user functions.
Engine::Engine(std::shared_ptr<RandomGenerator> random) : random_(std::move(random)) {
  errors_.Guarded(u"Class_Initialize", [&] {
    arrays_.Clear();
    expressions_.Records.assign(1, CompiledExpression{});
    evaluationTrap_ = true;
    createVariables_ = true;
    variables_.Store().Clear();
  });
}

// The sub-engines of the defined functions go first, then everything else with the object
// (sub-engines of slots no longer counted included: unique_ptr releases them all).
Engine::~Engine() {
  for (int k = 1; k <= NumUserFuncs() && k <= kMaxUserFuncs; ++k) userFuncEngines_[size_t(k - 1)].reset();
}

// Sub-engines follow the engine's settings, those made later included (UserFuncEngine).
void Engine::SetEvaluationTrap(bool On) {
  evaluationTrap_ = On;
  for (auto& sub : userFuncEngines_)
    if (sub) sub->SetEvaluationTrap(On);
}

// The strict profile switches the trap and variable creation with it; its own rules (inputs that
// must be finite, suggestions, definitions that replace or leave nothing, checked array bounds)
// read strict_ where they apply.
void Engine::SetStrict(bool On) {
  strict_ = On;
  createVariables_ = !On;
  SetEvaluationTrap(!On);
  for (auto& sub : userFuncEngines_)
    if (sub) sub->SetStrict(On);
}

void Engine::SetHighestTier(Tier Highest) {
  highestTier_ = Highest > kHighestTier ? kHighestTier : Highest;
  for (auto& sub : userFuncEngines_)
    if (sub) sub->SetHighestTier(highestTier_);
}

void Engine::SetNativeAfter(uint32_t Evaluations) {
  nativeAfter_ = Evaluations;
  for (auto& sub : userFuncEngines_)
    if (sub) sub->SetNativeAfter(Evaluations);
}

// The listing of the current expression (the highest when none is current). A failure (an array
// access has no name in the opcode table) reaches the caller as a qvRuntimeError: this is the one
// procedure that does not catch its own.
std::u16string Engine::RPNExpression() {
  int32_t upper = int32_t(expressions_.Records.size()) - 1;
  if (expressions_.Current < 1 || expressions_.Current > upper) expressions_.Current = upper;
  errors_.SetSource(expressions_.Current);
  const CompiledExpression& r = expressions_.Records[size_t(expressions_.Current)];
  if (r.Text.empty() || errors_.Code() != 0) return {};
  return Listing(r, opcodes_);
}

// Empties the variable store and the array store. Compiled code keeps the records it holds.
// Emptying at once has the same effect as removing the first record count times, without the
// cost of renumbering the positions after each removal.
void Engine::ResetVariables() {
  variables_.Store().Clear();
  arrays_.Clear();
}

// Each step runs as an operation of its own, so a failing step leaves the later ones to run.
void Engine::Reset() {
  ClearError();
  expressions_.ResetCompiledExpressions();
  ResetUserFuncs();
  ResetVariables();
}

// Index 0, an index out of range or a negative index select the highest expression; a negative
// Index is overwritten with it. Nothing runs while a failure is recorded or the text is empty.
Variant Engine::Value(int32_t& Index) {
  const std::vector<CompiledExpression>& records = expressions_.Records;
  // One unsigned comparison (on the table's size, computed once) tells an index from 1 to the
  // highest from everything else.
  int32_t selected = Index;
  if (size_t(uint32_t(Index) - 1) + 1 >= records.size()) [[unlikely]] {
    selected = std::max(int32_t(records.size()) - 1, int32_t(0));
    if (Index < 0) Index = selected;
    if (records.empty()) {  // not reached: the table always holds index 0
      expressions_.Current = selected;
      errors_.SetSource(selected);
      return {};
    }
  }
  expressions_.Current = selected;
  errors_.SetSource(selected);
  const CompiledExpression& record = records[size_t(selected)];
  // The steady state of a host's loop, kept short: the machine code exists, nothing is recorded
  // and (under the strict profile) every input is finite. Machine code exists only for a
  // compilation that finished, so the record has no failure to repeat.
  const Program* code = record.Compiled.get();
  const NativeProgram* native = code && highestTier_ >= Tier::Native ? code->Native.Made() : nullptr;
  if (native && errors_.Code() == 0 && !record.Text.empty() && (!strict_ || InputsFinite(*code))) {
    double value;
    if (native->RunOnRecords(value)) return DoubleProgramResult(*code->Fast, value);
    return OnGeneralLoop(*code);  // the all-double program declines exactly where the machine code does
  }
  return OnLadder(record, selected);
}

// Value's other cases, out of line so that the steady state above stays short: what refuses
// to run, a failed compilation's failure recorded again, the fast tiers before the machine code
// exists, and the general loop.
[[gnu::noinline]] Variant Engine::OnLadder(const CompiledExpression& Record, int32_t Selected) {
  if (Record.Text.empty() || errors_.Code() != 0 || !Record.Compiled) return {};
  if (Record.Failure) {  // what a failed compilation left is never run: its failure again
    errors_ = *Record.Failure;
    errors_.SetSource(Selected);
    return {};
  }
  const Program& code = *Record.Compiled;
  double frame[DoubleProgram::kMaxRegisters], value;
  if (code.Fast && highestTier_ >= Tier::AllDouble && (!strict_ || InputsFinite(code)) &&
      RunFastOnRecords(code, highestTier_, frame, value))
    return DoubleProgramResult(*code.Fast, value);
  return OnGeneralLoop(code);
}

// The general loop on the program's own inputs, its outcome recorded in the error state.
[[gnu::noinline]] Variant Engine::OnGeneralLoop(const Program& Code) {
  Outcome outcome = Evaluate(Code, Code.FrameInputs.data());
  errors_.Record(outcome.Failure);
  return std::move(outcome.Value);
}

// What the general loop reads of this engine: its arrays, generator, user functions and switches.
LoopContext Engine::Loop() { return LoopContext{opcodes_, arrays_, *random_, *this, evaluationTrap_, strict_}; }

Outcome Engine::Evaluate(const Program& Code, const Variant* const* Values) {
  return qv::Evaluate(Loop(), Code, Values);
}

size_t Engine::ValueColumns(int32_t Index, const std::vector<qvColumn>& Columns, size_t Rows, double* Out,
                            int32_t* Status, unsigned Threads) {
  const ColumnSource source{expressions_, errors_, Loop(), generalLoop_, highestTier_};
  return qv::ValueColumns(source, Index, Columns, Rows, Out, Status, Threads);
}

// Compile: cut the comment, allot the index (the next one for an index below 1), store the text
// and compile it. An index from 1 to the highest recompiles that record in place.
void Engine::Compile(std::u16string& Text, int16_t& Index) {
  errors_.Guarded(u"Compile", [&] {
    std::u16string text = StripComments(errors_, Text);
    if (text.empty()) text.assign(1, u'0');  // (a literal here trips a false -Wrestrict in GCC 12)
    int32_t upper = int32_t(expressions_.Records.size()) - 1;
    if (Index < 1) {
      if (upper + 1 > INT16_MAX) RaiseRuntimeError(kErrOverflow);
      Index = int16_t(upper + 1);
    }
    if (Index > upper) expressions_.Records.resize(size_t(Index) + 1);
    expressions_.Current = Index;
    expressions_.Records[size_t(Index)].Text = std::move(text);
    CompileExpression();
  });
}

// The compilation pass, then the program evaluation runs: made from whatever instructions the
// pass left, so that a host that clears a compile error evaluates what was compiled, as the
// instructions would run. Only a finished compilation gets the fast tiers.
void Engine::CompileExpression() {
  CompiledExpression& record = expressions_.Records[size_t(expressions_.Current)];
  bool finished = false;
  const CompileContext context{errors_, opcodes_, arrays_, variables_, expressions_.Current, createVariables_, strict_,
                                 &hosts_};
  errors_.Guarded(u"CompileExpression", [&] { finished = CompilePass(context, record); });
  errors_.Guarded(u"CompileExpression", [&] { record.Compiled = BuildProgram(record, finished, nativeAfter_); });
  record.Failure = finished || errors_.Code() == 0 ? nullptr : std::make_shared<const ErrorState>(errors_);
}

}  // namespace qv
