// qvExpression: the expression engine. It compiles expression texts into postfix code kept under
// expression indices, evaluates them on a small stack machine, keeps variables, arrays and up to
// twenty user-defined functions, and records every failure it detects in its error state (a
// code, a description, a source index and a character position) instead of throwing.
//
// The members are implemented by subsystem:
//   engine/compile/  opcode table and error state, scanner, compiler, listing
//   engine/eval/     evaluator, operators, numeric and string functions, number formatting
//   engine/stores/   variables, arrays, user-defined functions, expression store and resets
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CompiledExpression.h"
#include "engine/RuntimeError.h"
#include "engine/Variant.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/eval/RandomGenerator.h"
#include "engine/qvVariable.h"
#include "engine/stores/ArrayEntry.h"
#include "engine/stores/VariableStore.h"

// One column of values for ValueColumns: the variable it feeds and Rows values.
struct qvColumn {
  std::u16string Name;    // a variable's name, compared as the engine compares names
  const double* Values;   // Rows values
};

class Machine;  // the evaluator's accumulator and stack (engine/eval/Machine.h)

class qvExpression {
 public:
  qvExpression();
  ~qvExpression();
  qvExpression(const qvExpression&) = delete;
  qvExpression& operator=(const qvExpression&) = delete;

  // ---- counts and switches ----
  int16_t NumUserFuncs() const { return numUserFuncs_; }
  int16_t ArraysCount() const { return arraysCount_; }
  bool CreateVariables() const { return createVariables_; }
  // The evaluation trap: on (the state at creation), a failing sub-step of an evaluation leaves
  // the value it started from and records nothing (continue on failure). Off, such a failure is
  // recorded and ends the evaluation with an empty result. User functions follow the setting.
  bool EvaluationTrap() const { return evaluationTrap_; }
  void SetEvaluationTrap(bool On) { evaluationTrap_ = On; }

  // ---- error state (engine/compile/ErrorState.cpp) ----
  int32_t ErrorCode() const { return errorCode_; }
  std::u16string ErrorDescription() const { return errorDescription_; }
  int32_t ErrorPos() const { return errorPos_; }
  int32_t ErrorSource() const { return errorSource_; }
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

  // ---- user-defined functions (engine/stores/UserFunctions.cpp) ----
  void UserFunc(std::u16string& Definition);
  std::u16string UserFuncText(const Variant& Index);
  bool ReservedName(const std::u16string& Name, const std::u16string& Prefix);
  void ResetUserFuncs();

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

 private:
  friend class qvExpressionTestAccess;  // lets the tests reach the private procedures
  friend class Compiler;                // engine/compile/Compiler.cpp: one compilation pass

  // ---- creation and the opcode table (engine/qvExpression.cpp) ----
  explicit qvExpression(std::shared_ptr<RandomGenerator> random);  // a user function's sub-engine
  void Initialize();
  void AddOpcode(int16_t Opcode, std::u16string_view Name, int16_t Priority, int16_t Args);
  void ResetUserFuncOpcodes();

  // ---- error reporting (engine/compile/ErrorState.cpp) ----
  // Records a caught run-time failure of the procedure Procedure as error 11; failure 94 is not
  // recorded.
  void ReportError(std::u16string_view Procedure, const qvRuntimeError& Failure);
  // Runs Body; a run-time failure (or exhausted memory) escaping it goes to ReportError under
  // Procedure, and the caller carries on.
  template <class Body>
  void Guarded(std::u16string_view Procedure, Body&& body);
  void SetError(int32_t Code, std::u16string Description);

  // ---- scanner (engine/compile/Scanner.cpp); the cursor is 1-based ----
  void SkipBlanks(std::u16string_view Text, int32_t& Cursor);
  Variant GetNumber(std::u16string_view Text, int32_t& Cursor);
  std::u16string GetName(std::u16string_view Text, int32_t& Cursor);
  std::u16string GetString(std::u16string_view Text, int32_t& Cursor);
  std::u16string StripComments(std::u16string& Text);
  static std::u16string_view TrimSpaces(std::u16string_view Text);  // code 32 only, both ends

  // ---- compiler (engine/compile/Compiler.cpp) ----
  void CompileExpression();
  int16_t OperatorOpcode(std::u16string_view Text, int32_t& Cursor);
  int16_t FunctionOpcode(std::u16string_view UpperName);
  int16_t ArrayOpcode(std::u16string_view UpperName);

  // ---- variables (engine/stores/Variables.cpp) ----
  std::shared_ptr<qvVariable> xVariable(const Variant& Name, bool& Create);
  int32_t AddVariable(std::shared_ptr<qvVariable>& Record);
  // The position 1..Count that an index value names (halves to even), 0 when it lies outside;
  // an index that is no number raises a type mismatch.
  static int32_t ItemPosition(const Variant& Index, int32_t Count);

  // ---- arrays (engine/stores/Arrays.cpp) ----
  std::u16string ArrayNameWithDims(const Variant& Slot);
  int16_t FindArray(std::u16string_view Name) const;  // slot 1..ArraysCount, or 0
  int16_t ArraySlotFor(std::u16string_view Name);      // the name's slot, a new one when missing
  // The offset in Entry.Values of the element at Subscripts (one per dimension, the first
  // varying fastest), or -1 when it lies outside the bounds or outside the storage that exists.
  static int64_t ElementOffset(const ArrayEntry& Entry, const std::array<int32_t, 4>& Subscripts);

  // ---- user-defined functions (engine/stores/UserFunctions.cpp) ----
  void DefineBody(int16_t Slot, const std::vector<std::u16string>& Params, std::u16string& Body,
                  const std::u16string& Name);

  // ---- evaluator (engine/eval/) ----
  Variant Evaluate(const CompiledExpression& Code);
  qvExpression& UserFuncEngine(int Slot);  // slot 1..20, created on first use
  void ArrayElement(Machine& M, int Slot);        // opcode -Slot: one element of array Slot
  void CallUserFunc(Machine& M, int16_t Opcode);  // opcodes 56 to 75
  void Combinations(Machine& M, bool Ordered);    // NCR, and NPR when Ordered
  // Records code 6 for an instruction that found its arguments outside its domain.
  void RecordDomain(int16_t Opcode, const Variant* Left, const Variant& Right);

  // ---- number formatting (engine/eval/NumberFormat.cpp) ----
  double Log10(const double& X);
  std::u16string FormatReal(const double& X);
  double Factorial(double X);

  // ---- fields, in the order of creation ----
  int16_t numUserFuncs_ = 0;
  int16_t arraysCount_ = 0;
  bool evaluationTrap_ = false;  // true at creation: continue on failure
  bool createVariables_ = false;
  VariableStore variables_;
  std::array<std::unique_ptr<qvExpression>, kMaxUserFuncs> userFuncEngines_;
  std::array<std::u16string, kMaxUserFuncs> userFuncTexts_;
  std::vector<ArrayEntry> arrays_;  // slot 0 exists and never holds an array
  int32_t errorCode_ = 0;
  std::u16string errorDescription_;
  int32_t errorPos_ = 0;
  int32_t errorSource_ = 0;
  std::array<std::u16string, kOpcodeCount> opcodeNames_;
  std::array<uint8_t, kOpcodeCount> opcodePriority_{};
  std::array<int16_t, kOpcodeCount> opcodeArgs_{};
  std::vector<CompiledExpression> expressions_;  // index 0 exists and is never given out
  int32_t currentExpression_ = 0;
  std::shared_ptr<RandomGenerator> random_;
};

template <class Body>
void qvExpression::Guarded(std::u16string_view Procedure, Body&& body) {
  try {
    body();
  } catch (const qvRuntimeError& failure) {
    ReportError(Procedure, failure);
  } catch (const std::bad_alloc&) {
    ReportError(Procedure, qvRuntimeError(kErrOutOfMemory));
  } catch (const std::length_error&) {
    ReportError(Procedure, qvRuntimeError(kErrOutOfMemory));
  }
}
