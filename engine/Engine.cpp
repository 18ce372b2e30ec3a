// The engine: creation, its settings, compiling, Value, the listing, the call over columns and
// the resets; and the sub-engine through which the user functions' store runs a body.
#include "engine/Engine.h"

#include "engine/compile/Compiler.h"
#include "engine/compile/Listing.h"
#include "engine/compile/Scanner.h"
#include "engine/eval/Columns.h"
#include "engine/eval/Inputs.h"

namespace qv {
namespace {

// A user function's body: an engine of its own whose first variables are the parameters and
// whose expression 1 is the body.
class SubEngine final : public FunctionBody {
 public:
  explicit SubEngine(std::shared_ptr<RandomGenerator> Random) : engine_(std::move(Random)) {}

  void Apply(const EngineSettings& Settings) override { engine_.SetSettings(Settings); }
  void Define(const std::vector<std::u16string>& Params, std::u16string& Body) override {
    engine_.Expressions().ResetCompiledExpressions();
    engine_.ResetVariables();
    for (const std::u16string& p : Params) {
      double initial = -1;
      engine_.Variables().Variable(Variant(p), initial);
    }
    int16_t index = 0;
    engine_.Compile(Body, index);
  }
  ErrorState& Errors() override { return engine_.Errors(); }
  qvVariable* Parameter(int Position) override { return engine_.Variables().Store().At(Position); }
  Variant Evaluate() override {
    int32_t body = 0;
    return engine_.Value(body);
  }

 private:
  Engine engine_;
};

}  // namespace

// Creation, in this order: no arrays; one empty expression record (index 0); the opcode table
// (built by its own constructor); the settings; the empty variable store; no user functions.
Engine::Engine(std::shared_ptr<RandomGenerator> Random)
    : random_(std::move(Random)),
      userFunctions_(FunctionOwner{errors_, opcodes_, settings_, variables_, expressions_,
                                   [this] { CompileExpression(); },
                                   [this] { return std::make_unique<SubEngine>(random_); }}) {
  errors_.Guarded(u"Class_Initialize", [&] {
    arrays_.Clear();
    expressions_.Records.assign(1, CompiledExpression{});
    variables_.Store().Clear();
  });
}

void Engine::SetSettings(const EngineSettings& Changed) {
  settings_ = Changed;
  if (settings_.HighestTier > kHighestTier) settings_.HighestTier = kHighestTier;
  userFunctions_.FollowSettings();
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
  errors_.Clear();
  expressions_.ResetCompiledExpressions();
  userFunctions_.ResetUserFuncs();
  ResetVariables();
}

// Index 0, an index out of range or a negative index select the highest expression; a negative
// Index is overwritten with it. Nothing runs while a failure is recorded or the text is empty.
Variant Engine::Value(int32_t& Index) {
  const std::vector<CompiledExpression>& records = expressions_.Records;
  // One unsigned comparison (on the table's size, computed once) tells an index from 1 to the
  // highest from everything else; done in 64 bits, as 0 and the negative indices wrap to 0 in a
  // 32-bit size_t (WebAssembly).
  int32_t selected = Index;
  if (uint64_t(uint32_t(Index) - 1) + 1 >= records.size()) [[unlikely]] {
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
  const NativeProgram* native = code && settings_.HighestTier >= Tier::Native ? code->Native.Made() : nullptr;
  if (native && errors_.Code() == 0 && !record.Text.empty() && (!settings_.Strict || InputsFinite(*code))) {
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
  if (code.Fast && settings_.HighestTier >= Tier::AllDouble && (!settings_.Strict || InputsFinite(code)) &&
      RunFastOnRecords(code, settings_.HighestTier, frame, value))
    return DoubleProgramResult(*code.Fast, value);
  return OnGeneralLoop(code);
}

// The general loop on the program's own inputs, its outcome recorded in the error state.
[[gnu::noinline]] Variant Engine::OnGeneralLoop(const Program& Code) {
  Outcome outcome = Evaluate(Loop(), Code, Code.FrameInputs.data());
  errors_.Record(outcome.Failure);
  return std::move(outcome.Value);
}

// What the general loop reads of this engine: its arrays, generator, user functions and switches.
LoopContext Engine::Loop() {
  return LoopContext{opcodes_, arrays_, *random_, userFunctions_, settings_.EvaluationTrap, settings_.Strict};
}

size_t Engine::ValueColumns(int32_t Index, const std::vector<qvColumn>& Columns, size_t Rows, double* Out,
                            int32_t* Status, unsigned Threads) {
  const ColumnSource source{expressions_, errors_, Loop(), generalLoop_, settings_.HighestTier};
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
  const CompileContext context{errors_, opcodes_, arrays_, variables_, expressions_.Current,
                               settings_.CreateVariables, settings_.Strict, &hosts_.Table()};
  errors_.Guarded(u"CompileExpression", [&] { finished = CompilePass(context, record); });
  errors_.Guarded(u"CompileExpression",
                  [&] { record.Compiled = BuildProgram(record, finished, settings_.NativeAfter); });
  record.Failure = finished || errors_.Code() == 0 ? nullptr : std::make_shared<const ErrorState>(errors_);
}

}  // namespace qv
