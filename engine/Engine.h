// The engine behind the public facade qvExpression: a thin owner of its components, its settings
// and the table of compiled expressions, with the procedures that join them (compiling a record,
// Value, the call over columns, the resets). Each component is a small object of its own, handed
// by reference to the parts that need it, and none of them includes this header:
//   engine/compile/  the opcode table, the error state, the scanner, the compiler, the listing
//   engine/eval/     the compiled program, the general loop, the tiers, the functions, the
//                    evaluation over columns
//   engine/stores/   the variables (VariableTable.h), the arrays (ArrayStore.h), the user
//                    functions with their sub-engines (UserFunctionStore.h), the host's functions
//                    and constants (HostDefinitions.h), the expression table (ExpressionTable.h)
// The settings are one EngineSettings (engine/EngineSettings.h). The facade reaches the
// components directly; the engine's own members are defined here and in engine/Engine.cpp.
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

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/CompiledExpression.h"
#include "engine/EngineSettings.h"
#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/eval/GeneralLoop.h"
#include "engine/eval/RandomGenerator.h"
#include "engine/eval/Tiers.h"
#include "engine/qvColumn.h"
#include "engine/stores/ArrayStore.h"
#include "engine/stores/ExpressionTable.h"
#include "engine/stores/HostDefinitions.h"
#include "engine/stores/UserFunctionStore.h"
#include "engine/stores/VariableTable.h"

namespace qv {

class Engine final {
 public:
  // A user function's sub-engine shares its engine's generator.
  explicit Engine(std::shared_ptr<RandomGenerator> Random = std::make_shared<RandomGenerator>());

  const EngineSettings& Settings() const { return settings_; }
  void SetSettings(const EngineSettings& Changed);  // the tier cap held to the build's; sub-engines follow

  ErrorState& Errors() { return errors_; }
  const ErrorState& Errors() const { return errors_; }

  void Compile(std::u16string& Text, int16_t& Index);
  std::u16string RPNExpression();
  Variant Value(int32_t& Index);
  size_t ValueColumns(int32_t Index, const std::vector<qvColumn>& Columns, size_t Rows, double* Out,
                      int32_t* Status, unsigned Threads);
  LoopContext Loop();  // what the general loop reads of this engine
  void SeedRandom(uint64_t Seed) { random_->Seed(Seed); }

  // ---- the components, which the facade reaches directly ----
  const OpcodeTable& Opcodes() const { return opcodes_; }
  VariableTable& Variables() { return variables_; }
  ArrayStore& Arrays() { return arrays_; }
  ExpressionTable& Expressions() { return expressions_; }
  UserFunctionStore& UserFunctions() { return userFunctions_; }
  HostDefinitions& Hosts() { return hosts_; }

  void ResetVariables();  // the variables and the arrays
  void Reset();

 private:
  // The pass over the current record (engine/compile/Compiler.h), then its program.
  void CompileExpression();
  // Value past its steady state: the checks, the fast tiers, the general loop.
  Variant OnLadder(const CompiledExpression& Record, int32_t Selected);
  Variant OnGeneralLoop(const Program& Code);

  // ---- fields, in the order of creation ----
  ErrorState errors_;
  OpcodeTable opcodes_;
  EngineSettings settings_;
  VariableTable variables_{errors_};
  ArrayStore arrays_{errors_, settings_.Strict};
  HostDefinitions hosts_{errors_, opcodes_, arrays_, variables_};
  ExpressionTable expressions_{errors_};
  std::shared_ptr<RandomGenerator> random_;
  UserFunctionStore userFunctions_;
  // Held by evaluations over columns while they read the engine's table, and around a row on the
  // general loop whose program calls a user function or RND (they change the sub-engines and the
  // generator), so that several may run on one engine at once.
  std::mutex generalLoop_;
};

}  // namespace qv
