// The user-defined functions: twenty slots, each a row of the opcode table (its name and number
// of arguments), the text that defined it and a private sub-engine (a FunctionBody) whose first
// variables are the parameters and whose expression 1 is the body. The store is handed what it
// reaches of the engine that owns it (FunctionOwner); failures go to that engine's error state.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineSettings.h"
#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/eval/GeneralLoop.h"
#include "engine/qvVariable.h"
#include "engine/stores/ExpressionTable.h"
#include "engine/stores/VariableTable.h"

namespace qv {

// A function's body as the store uses it: an engine of its own, made by the owning engine
// (engine/Engine.cpp), so that the store needs nothing of the engine's class.
class FunctionBody {
 public:
  virtual ~FunctionBody() = default;
  virtual void Apply(const EngineSettings& Settings) = 0;
  // Empties the body's expressions and variables, binds Params as its first variables (value -1)
  // and compiles Body as its expression 1; the failure is left in Errors().
  virtual void Define(const std::vector<std::u16string>& Params, std::u16string& Body) = 0;
  virtual ErrorState& Errors() = 0;
  virtual qvVariable* Parameter(int Position) = 0;  // 1-based; null where the body has none
  virtual Variant Evaluate() = 0;                   // the body, as Value gives it
};

// What the store reaches of its engine.
struct FunctionOwner {
  ErrorState& Errors;
  OpcodeTable& Opcodes;             // the slots' rows
  const EngineSettings& Settings;   // the trap, the strict profile; the sub-engines follow them
  const VariableTable& Variables;   // under the strict profile a body's failure names them
  ExpressionTable& Expressions;     // the callers compiled again when a function moves or goes
  std::function<void()> CompileCurrent;                    // the current expression's compilation
  std::function<std::unique_ptr<FunctionBody>()> NewBody;  // a sub-engine sharing the generator
};

class UserFunctionStore final : public UserFunctionCalls {
 public:
  explicit UserFunctionStore(FunctionOwner Owner);
  UserFunctionStore(const UserFunctionStore&) = delete;
  UserFunctionStore& operator=(const UserFunctionStore&) = delete;

  // ---- the members of the facade ----
  int16_t NumUserFuncs() const { return opcodes_.NumUserFuncs(); }
  void UserFunc(std::u16string& Definition);
  std::u16string UserFuncText(const Variant& Index);
  bool ReservedName(const std::u16string& Name, const std::u16string& Prefix);
  void ResetUserFuncs();
  bool UndefineUserFunc(std::u16string_view Name);

  // The sub-engines take the engine's settings again (after they changed).
  void FollowSettings();
  // A user function's call from the general loop.
  void CallUserFunc(Machine& M, int16_t Opcode, ErrorState& Failure) override;
  // The sub-engine of slot 1..20, or null before its first use.
  FunctionBody* Body(int Slot) const { return bodies_[size_t(Slot - 1)].get(); }

 private:
  void AddUserFunc(std::u16string& Definition);        // the next slot, as the compatible rules have it
  void ReplacingUserFunc(std::u16string& Definition);  // the strict profile's definition
  int16_t UserFuncSlot(std::u16string_view Name) const;  // slot 1..NumUserFuncs, or 0
  // Defines Texts afresh in slots 1, 2, ... and (when Recompile) recompiles, under their own
  // indices, the expressions whose code calls a user function, so that no code calls a slot whose
  // function has moved or gone.
  ErrorState RebuildUserFuncs(const std::vector<std::u16string>& Texts, int16_t Watched, bool Recompile);
  void RecompileCallers();
  void DefineBody(int16_t Slot, const std::vector<std::u16string>& Params, std::u16string& Body,
                  const std::u16string& Name);
  std::u16string BodyFailure(const ErrorState& Body, const std::u16string& Name) const;
  FunctionBody& MadeBody(int Slot);  // created on first use
  EngineSettings BodySettings() const;

  ErrorState& errors_;
  OpcodeTable& opcodes_;
  const EngineSettings& settings_;
  const VariableTable& variables_;
  ExpressionTable& expressions_;
  std::function<void()> compileCurrent_;
  std::function<std::unique_ptr<FunctionBody>()> newBody_;
  std::array<std::unique_ptr<FunctionBody>, kMaxUserFuncs> bodies_;
  std::array<std::u16string, kMaxUserFuncs> texts_;
  std::array<bool, kMaxUserFuncs> compiled_{};  // the slot's body compiled without failure
};

}  // namespace qv
