// qvExpression: the expression engine. It compiles expression texts into postfix code kept under
// expression indices, evaluates them on a small stack machine, keeps variables, arrays and up to
// twenty user-defined functions, and records every failure it detects in its error state (a
// code, a description, a source index and a character position) instead of throwing.
//
// This header is the engine's public face: the class is a facade over the engine's components
// (engine/Engine.h, namespace qv), none of which this header exposes. docs/architecture.md walks
// through them.
#pragma once

#include <cstdint>
#include <memory>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/RuntimeError.h"
#include "engine/Variant.h"
#include "engine/qvArrayValues.h"
#include "engine/qvColumn.h"
#include "engine/qvFormula.h"
#include "engine/qvFunction.h"
#include "engine/qvTier.h"
#include "engine/qvVariable.h"

struct CompiledExpression;  // engine/CompiledExpression.h, for tools that inspect compiled code
struct qvExpressionTestAccess;
namespace qv {
class Engine;
}

class qvExpression {
 public:
  qvExpression();
  ~qvExpression();
  qvExpression(const qvExpression&) = delete;
  qvExpression& operator=(const qvExpression&) = delete;

  // ---- counts and switches ----
  int16_t NumUserFuncs() const;
  int16_t ArraysCount() const;
  bool CreateVariables() const;
  // On (the state at creation), the compiler creates a name found nowhere else as a variable
  // with the value 0; off, it reports the name as an undefined variable (code 3).
  void SetCreateVariables(bool On);
  // The evaluation trap: on (the state at creation), a failing sub-step of an evaluation leaves
  // the value it started from and records nothing (continue on failure). Off, such a failure is
  // recorded and ends the evaluation with an empty result. User functions follow the setting.
  bool EvaluationTrap() const;
  void SetEvaluationTrap(bool On);
  // The strict profile (off at creation, where the engine keeps its compatible rules). On, it
  // turns the evaluation trap and variable creation off (an undefined name fails its compilation,
  // with the nearest known name suggested) and adds its own rules: an input that is NaN or
  // infinite (a variable, a column's cell, an array element) fails the evaluation or the row,
  // named ("X is not a number", code 13); a definition that fails leaves no function behind, and
  // one of a name already defined replaces that function; an array definition whose bounds the
  // store cannot hold (outside 0 to 32767, or not a whole number) is refused. User functions
  // follow the setting. SetEvaluationTrap and SetCreateVariables may still change those two
  // switches afterwards.
  bool Strict() const;
  void SetStrict(bool On);

  // ---- error state (engine/compile/ErrorState.cpp) ----
  int32_t ErrorCode() const;
  std::u16string ErrorDescription() const;
  int32_t ErrorPos() const;
  int32_t ErrorSource() const;
  void ClearError();

  // ---- compiler and listing (engine/compile/) ----
  void Compile(std::u16string& Text, int16_t& Index);
  std::u16string RPNExpression();  // lets its failure escape as a qvRuntimeError

  // ---- evaluator (engine/eval/) ----
  Variant Value(int32_t& Index);
  // Evaluates expression Index once for each row r in [0, Rows): every variable named in Columns
  // holds Values[r], the others keep their values. Out[r] receives the row's value as a number,
  // Status[r] (when Status is not null) the error code that Value would have recorded for that
  // row, 0 when none. Returns the number of rows whose status is 0. The engine's error state and
  // variables are as they were before the call; a variable that does not exist is not created.
  size_t ValueColumns(int32_t Index, const std::vector<qvColumn>& Columns, size_t Rows,
                      double* Out, int32_t* Status = nullptr, unsigned Threads = 1);
  // Expression Index (0: the highest) as a plain function of doubles (engine/qvFormula.h); one
  // that runs nothing for an index that names no compiled expression.
  qvFormula Formula(int32_t Index) const;

  // ---- variables (engine/stores/Variables.cpp) ----
  void Variable(const Variant& VarName, double& Value);
  double VariableValue(const Variant& VarName);
  int32_t NumVariables();
  int16_t VariablesCount();
  std::u16string VariableName(const Variant& Index);
  void ResetVariables();
  // The record of a variable, created with the value 0 when new (as the compiler creates names),
  // so a host can bind it once and assign its Value directly in a loop. A numeric name, which
  // never reaches the store, gives null.
  std::shared_ptr<qvVariable> BindVariable(const std::u16string& Name);

  // ---- arrays (engine/stores/Arrays.cpp) ----
  void DefineArray(std::u16string& Definition);
  void SetArrayValues(const Variant& Name, uint8_t NumDims, const qvArrayValues& Values);
  void GetArrayDetails(const std::u16string& Name, int16_t& Slot, int16_t& NumDims,
                       std::vector<int16_t>& Bounds);
  void ArrayValue(int16_t Slot, const Variant& Value, int16_t S1, int16_t S2 = 0,
                  int16_t S3 = 0, int16_t S4 = 0);
  Variant GetArrayValue(int16_t Slot, int16_t S1, int16_t S2 = 0, int16_t S3 = 0,
                        int16_t S4 = 0);
  std::u16string ArrayName(const Variant& Slot);

  // ---- user-defined functions (engine/stores/UserFunctionStore.cpp) ----
  void UserFunc(std::u16string& Definition);
  std::u16string UserFuncText(const Variant& Index);
  bool ReservedName(const std::u16string& Name, const std::u16string& Prefix);
  void ResetUserFuncs();
  // Removes the user function Name (false when there is none); the functions after it move down
  // a slot. Expressions compiled earlier that call a user function (or failed to compile) are
  // compiled again under their own indices, so that one that called the removed function now
  // fails with "Unknown function". Under the strict profile a definition that replaces a function
  // does the same.
  bool UndefineUserFunc(std::u16string_view Name);

  // ---- the host's functions and constants (engine/stores/HostDefinitions.cpp) ----
  // Adds a function of numbers to the language under Name (UTF-8, any case), called as
  // NAME(a, b, ...) in every tier. Arity: the number of arguments, -1 for any number. The body
  // fails a call by throwing (the description carries what() says) or by giving a result that is
  // not finite; such a failure is recorded like a built-in function's domain failure (code 6).
  // A name that is a built-in function, an operator word, a user function, an array, a variable
  // or a host constant is refused (code 10, in the error state). Defining a host function's
  // name again replaces it. Code compiled before keeps the function it was compiled against, and
  // the value of a constant it was compiled with, until compiled again.
  void DefineFunction(std::string_view Name, int Arity, std::function<double(std::span<const double>)> Body);
  void DefineFunction(std::string_view Name, qvFunction Function);
  // A function over values (qvTextFunction: numbers, texts or empty in and out), under the same
  // rules of names, counts and failures; an expression that calls it runs on the general loop.
  void DefineFunction(std::string_view Name, qvTextFunction Function);
  // A named constant, read-only (Variable refuses to assign it), folded into compiled code.
  void DefineConstant(std::string_view Name, double Value);
  // Removes the host function or constant Name; false when there is none.
  bool UndefineHostName(std::string_view Name);

  // ---- expression store and resets (engine/stores/ExpressionStore.cpp) ----
  int32_t NumExpressions();
  std::u16string ExpressionText(const Variant& Index);
  void ResetCompiledExpressions();
  void Reset();

  // ---- beyond the interface of the control ----
  // The opcode table as it stands (names of user-function rows change as functions are defined).
  const std::u16string& OpcodeName(int16_t Opcode) const;
  uint8_t OpcodePriority(int16_t Opcode) const;
  int16_t OpcodeArgs(int16_t Opcode) const;
  // The compiled record of an index, or null; for tools that inspect code.
  const CompiledExpression* Expression(int32_t Index) const;
  // Makes RND repeatable: the engine and its user-function sub-engines draw from one generator.
  void SeedRandom(uint64_t Seed);
  // The fastest tier evaluation may use (the fastest the build has, at creation); lower it to
  // compare tiers or to rule one out. User functions follow the setting.
  qvTier HighestTier() const;
  void SetHighestTier(qvTier Highest);
  // How many evaluations of one compiled expression come before its machine code is generated
  // (by default 10,000; 0 generates it as the expression compiles). Generating costs about a tenth of
  // a millisecond, so an expression evaluated a few times is better left to the other tiers. Holds
  // for expressions compiled afterwards; user functions follow it. A build without the native
  // tier keeps the number and generates nothing.
  uint32_t NativeAfter() const;
  void SetNativeAfter(uint32_t Evaluations);

  // ---- texts by value, as views and as UTF-8 (engine/TextOverloads.cpp) ----
  // Beside the by-reference members above, which stay as they are: these take their texts by
  // value, so literals, views and temporaries can be passed, and the std::string_view forms read
  // UTF-8. Nothing is written back into the caller's text. Compile stores the text under Index
  // (below 1: the next free number), compiles it and returns the index used.
  int16_t Compile(std::u16string_view Text, int16_t Index = 0);
  int16_t Compile(std::string_view Text, int16_t Index = 0);
  Variant Value(int32_t&& Index);  // e.Value(0) evaluates the last expression compiled
  void UserFunc(std::u16string_view Definition);
  void UserFunc(std::string_view Definition);
  void DefineArray(std::u16string_view Definition);
  void DefineArray(std::string_view Definition);
  void Variable(const Variant& VarName, double&& Value);
  void Variable(std::string_view VarName, double Value);
  double VariableValue(std::string_view VarName);
  std::shared_ptr<qvVariable> BindVariable(std::string_view Name);

 private:
  friend struct qvExpressionTestAccess;  // tests/TestAccess.h: the components behind the facade
  std::unique_ptr<qv::Engine> engine_;
};

// Adds the extended functions through DefineFunction and DefineConstant (engine/ExtendedFunctions.cpp):
// ROUND(x[, digits]) (the decimal a user sees, half away from zero), CEIL, FLOOR, ATN2(y, x),
// LOG2, HYPOT(x, y) and the constant E. An engine has none of them until a host asks.
void qvAddExtendedFunctions(qvExpression& Engine);
