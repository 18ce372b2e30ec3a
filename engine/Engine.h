// The engine behind the public facade qvExpression: its components and the procedures that join
// them. Each component is a small object of its own, handed by reference to the parts that need
// it: the opcode table (engine/compile/OpcodeTable.h), the error state (ErrorState.h), the
// variables (engine/stores/VariableTable.h), the arrays (engine/stores/ArrayStore.h), the
// user-function slots with their sub-engines, and the table of compiled expressions, each holding
// an immutable compiled program (engine/eval/Program.h) that evaluation runs through the ladder of
// tiers (engine/eval/Tiers.h). The facade reaches the variables and the arrays directly.
//
// The procedures are implemented by subsystem:
//   engine/compile/  opcode table, error state, scanner, compiler, listing
//   engine/eval/     the general loop, tiers, operators, numeric and string functions, number
//                    formatting, evaluation over columns
//   engine/stores/   variables, arrays (components of their own), user-defined functions,
//                    expression store and resets
//
// Words this code uses in one sense throughout:
//   record     the stored form of one thing: a variable's qvVariable, an array's ArrayEntry, an
//              expression index's CompiledExpression.
//   sub-step   one piece of an instruction's work (a conversion, an arithmetic operation, a
//              storage access).
//   fails      a sub-step fails: under the evaluation trap (the state at creation) it has no
//              effect and records nothing, and the instruction goes on (continue on failure).
//   records    a failure is written into the error state (code, description, position, source).
//   declines   a fast tier gives an evaluation back to the next tier down, having changed
//              nothing, wherever its result could differ from the general loop's.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CompiledExpression.h"
#include "engine/RuntimeError.h"
#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/eval/GeneralLoop.h"
#include "engine/eval/Outcome.h"
#include "engine/eval/RandomGenerator.h"
#include "engine/eval/Tiers.h"
#include "engine/qvArrayValues.h"
#include "engine/qvColumn.h"
#include "engine/qvVariable.h"
#include "engine/stores/ArrayStore.h"
#include "engine/stores/HostFunctions.h"
#include "engine/stores/ExpressionTable.h"
#include "engine/stores/VariableTable.h"

struct qvExpressionTestAccess;

namespace qv {

class Machine;

class Engine final : public UserFunctionCalls {
 public:
  Engine();
  explicit Engine(std::shared_ptr<RandomGenerator> random);  // a user function's sub-engine
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // ---- the members of the facade, one for one ----
  int16_t NumUserFuncs() const { return opcodes_.NumUserFuncs(); }
  bool CreateVariables() const { return createVariables_; }
  void SetCreateVariables(bool On) { createVariables_ = On; }
  bool EvaluationTrap() const { return evaluationTrap_; }
  void SetEvaluationTrap(bool On);
  bool Strict() const { return strict_; }
  void SetStrict(bool On);
  Tier HighestTier() const { return highestTier_; }
  void SetHighestTier(Tier Highest);
  uint32_t NativeAfter() const { return nativeAfter_; }
  void SetNativeAfter(uint32_t Evaluations);

  const ErrorState& Errors() const { return errors_; }
  void ClearError() { errors_.Clear(); }

  void Compile(std::u16string& Text, int16_t& Index);
  std::u16string RPNExpression();
  Variant Value(int32_t& Index);
  size_t ValueColumns(int32_t Index, const std::vector<qvColumn>& Columns, size_t Rows, double* Out,
                      int32_t* Status, unsigned Threads);

  VariableTable& Variables() { return variables_; }
  void ResetVariables();

  ArrayStore& Arrays() { return arrays_; }
  const ArrayStore& Arrays() const { return arrays_; }

  void UserFunc(std::u16string& Definition);
  std::u16string UserFuncText(const Variant& Index);
  bool ReservedName(const std::u16string& Name, const std::u16string& Prefix);
  void ResetUserFuncs();
  bool UndefineUserFunc(std::u16string_view Name);

  ExpressionTable& Expressions() { return expressions_; }
  void Reset();

  // The host's functions and constants (engine/stores/HostDefinitions.cpp). A name taken by
  // anything else is refused with a failure in the error state.
  void DefineFunction(std::u16string_view Name, qvFunction Function);
  void DefineFunction(std::u16string_view Name, qvTextFunction Function);
  void DefineConstant(std::u16string_view Name, double Value);
  bool UndefineHostName(std::u16string_view Name);
  // True, with the failure recorded, when Name is a constant (which an assignment cannot change).
  bool RefusedAsConstant(const Variant& Name);
  bool HostNameFree(std::u16string_view Name, std::u16string_view Prefix, bool Function);

  const OpcodeTable& Opcodes() const { return opcodes_; }
  const CompiledExpression* Expression(int32_t Index) const { return expressions_.Expression(Index); }
  int32_t HighestIndex() const { return expressions_.HighestIndex(); }
  void SeedRandom(uint64_t Seed) { random_->Seed(Seed); }

  // ---- the procedures the members share ----
  // The pass over the current record (engine/compile/Compiler.h), then its program.
  void CompileExpression();
  // User-defined functions (engine/stores/UserFunctions.cpp)
  void DefineBody(int16_t Slot, const std::vector<std::u16string>& Params, std::u16string& Body,
                  const std::u16string& Name);
  Engine& UserFuncEngine(int Slot);  // slot 1..20, created on first use
  std::u16string BodyFailure(const ErrorState& Body, const std::u16string& Name) const;
  int16_t UserFuncSlot(std::u16string_view Name) const;  // slot 1..NumUserFuncs, or 0
  // Defines Texts afresh in slots 1, 2, ... and (when Recompile) recompiles, under their own
  // indices, the expressions whose code calls a user function, so that no code calls a slot whose
  // function has moved or gone.
  ErrorState RebuildUserFuncs(const std::vector<std::u16string>& Texts, int16_t Watched, bool Recompile);
  void RecompileCallers();
  void AddUserFunc(std::u16string& Definition);        // the next slot, as the compatible rules have it
  void ReplacingUserFunc(std::u16string& Definition);  // the strict profile's definition
  // Value past its steady state: the checks, the fast tiers, the general loop (engine/Engine.cpp).
  Variant OnLadder(const CompiledExpression& Record, int32_t Selected);
  Variant OnGeneralLoop(const Program& Code);
  // The general loop (engine/eval/GeneralLoop.h) on this engine: the program on its inputs,
  // giving the value and what it recorded, without touching the error state.
  Outcome Evaluate(const Program& Code, const Variant* const* Values);
  LoopContext Loop();  // what the general loop reads of this engine
  // A user function's call from the general loop (engine/stores/UserFunctions.cpp).
  void CallUserFunc(Machine& M, int16_t Opcode, ErrorState& Failure) override;

 private:
  friend struct ::qvExpressionTestAccess;  // tests/TestAccess.h

  // ---- fields, in the order of creation ----
  ErrorState errors_;
  OpcodeTable opcodes_;
  bool evaluationTrap_ = false;  // true at creation: continue on failure
  bool createVariables_ = false;
  bool strict_ = false;  // the strict profile, off at creation (qvExpression::SetStrict)
  Tier highestTier_ = kHighestTier;
  uint32_t nativeAfter_ = kNativeAfter;
  VariableTable variables_{errors_};
  std::array<std::unique_ptr<Engine>, kMaxUserFuncs> userFuncEngines_;
  std::array<std::u16string, kMaxUserFuncs> userFuncTexts_;
  std::array<bool, kMaxUserFuncs> userFuncCompiled_{};  // the slot's body compiled without failure
  ArrayStore arrays_{errors_, strict_};
  HostFunctions hosts_;
  ExpressionTable expressions_{errors_};
  std::shared_ptr<RandomGenerator> random_;
  // Held by evaluations over columns while they read the engine's table, and around a row on the
  // general loop whose program calls a user function or RND (they change the sub-engines and the
  // generator), so that several may run on one engine at once.
  std::mutex generalLoop_;
};

}  // namespace qv
