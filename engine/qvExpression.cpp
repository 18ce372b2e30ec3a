// Creation and destruction of the engine, and its opcode table.
#include "engine/qvExpression.h"

qvExpression::qvExpression() : random_(std::make_shared<RandomGenerator>()) { Initialize(); }

qvExpression::qvExpression(std::shared_ptr<RandomGenerator> random) : random_(std::move(random)) {
  Initialize();
}

// Creation, in this order: no arrays; one empty expression record (index 0); the opcode table;
// the two switches; the empty variable store; no user functions.
void qvExpression::Initialize() {
  Guarded(u"Class_Initialize", [&] {
    arraysCount_ = 0;
    arrays_.assign(1, ArrayEntry{});
    expressions_.assign(1, CompiledExpression{});
    for (int16_t op = OpStart; op <= OpXor; ++op)
      AddOpcode(op, kOpcodeRows[op].name, kOpcodeRows[op].priority, kOpcodeRows[op].args);
    for (int16_t op = OpPi; op <= OpArray; ++op)
      AddOpcode(op, kOpcodeRows[op].name, kOpcodeRows[op].priority, kOpcodeRows[op].args);
    ResetUserFuncOpcodes();
    AddOpcode(OpConcat, kOpcodeRows[OpConcat].name, kOpcodeRows[OpConcat].priority,
              kOpcodeRows[OpConcat].args);
    for (int16_t op = OpLen; op <= OpInstr; ++op)
      AddOpcode(op, kOpcodeRows[op].name, kOpcodeRows[op].priority, kOpcodeRows[op].args);
    evaluationTrap_ = true;
    createVariables_ = true;
    variables_.Clear();
    numUserFuncs_ = 0;
  });
}

// The sub-engines of the defined functions go first, then everything else with the object
// (sub-engines of slots no longer counted included: unique_ptr releases them all).
qvExpression::~qvExpression() {
  for (int k = 1; k <= numUserFuncs_ && k <= kMaxUserFuncs; ++k) userFuncEngines_[size_t(k - 1)].reset();
}

void qvExpression::AddOpcode(int16_t Opcode, std::u16string_view Name, int16_t Priority, int16_t Args) {
  if (Opcode < 0 || Opcode >= kOpcodeCount) {
    ReportError(u"AddOpcode", qvRuntimeError(kErrSubscript));
    return;
  }
  opcodeNames_[size_t(Opcode)] = std::u16string(Name);
  opcodePriority_[size_t(Opcode)] = uint8_t(Priority);  // stored as an unsigned byte
  opcodeArgs_[size_t(Opcode)] = Args;
}

void qvExpression::ResetUserFuncOpcodes() {
  numUserFuncs_ = 0;
  for (int16_t op = OpUser1; op <= OpUser20; ++op) AddOpcode(op, kOpcodeRows[op].name, 30, 0);
}

const std::u16string& qvExpression::OpcodeName(int16_t Opcode) const {
  static const std::u16string none;
  return Opcode >= 0 && Opcode < kOpcodeCount ? opcodeNames_[size_t(Opcode)] : none;
}

uint8_t qvExpression::OpcodePriority(int16_t Opcode) const {
  return Opcode >= 0 && Opcode < kOpcodeCount ? opcodePriority_[size_t(Opcode)] : 0;
}

int16_t qvExpression::OpcodeArgs(int16_t Opcode) const {
  return Opcode >= 0 && Opcode < kOpcodeCount ? opcodeArgs_[size_t(Opcode)] : 0;
}

const CompiledExpression* qvExpression::Expression(int32_t Index) const {
  return Index >= 0 && size_t(Index) < expressions_.size() ? &expressions_[size_t(Index)] : nullptr;
}

void qvExpression::SeedRandom(uint64_t Seed) { random_->Seed(Seed); }
