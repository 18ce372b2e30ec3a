// qvCalc: the control a host program embeds. It owns one engine, created on first use, forwards
// its members to it, converts the results to the control's types, and reports failures of its
// own members to the connected ErrorMsg sinks; failures the engine detects stay in the engine's
// error state, which the host reads through ErrorCode, ErrorDescription, ErrorSource, ErrorPos.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/Variant.h"
#include "engine/qvExpression.h"

class qvCalc {
 public:
  qvCalc();   // container initialisation
  ~qvCalc();  // container termination
  qvCalc(const qvCalc&) = delete;
  qvCalc& operator=(const qvCalc&) = delete;

  using ErrorMsgSink = std::function<void(std::u16string& Source, std::u16string& Description)>;
  int Advise(ErrorMsgSink sink);  // connect an ErrorMsg sink; returns its cookie
  void Unadvise(int cookie);
  void SetSize(int32_t WidthTwips, int32_t HeightTwips);  // the container resizes the control
  int32_t Width() const;  // twips
  int32_t Height() const;

  Variant All_Math_Functions();
  void DefineUserFunc(std::u16string& Func);
  Variant NumUserFuncs();
  std::u16string UserFunc(Variant& Index);
  void Compile(std::u16string& Expression);
  double Value();
  double Value(int32_t& Index);
  Variant NumExpressions();
  Variant Expression(Variant& Index);
  void Reset();
  double Variable(std::u16string& VarName);                  // property get
  void Variable(std::u16string& VarName, double& NewValue);  // property put
  Variant NumVariables();
  Variant VariableName(Variant& Index);
  int16_t ErrorCode();
  std::u16string ErrorDescription();
  int16_t ErrorSource();
  int16_t ErrorPos();
  void ClearError();

  // Beyond the members of the interface: repeatable RND for hosts and tests.
  void SeedRandom(uint64_t Seed);
  // The engine's evaluation trap (on at creation): see qvExpression::SetEvaluationTrap.
  bool EvaluationTrap();
  void SetEvaluationTrap(bool On);
  // The engine's strict profile (off at creation): see qvExpression::SetStrict.
  bool Strict() const;
  void SetStrict(bool On);
  // Removes the user function Name (qvExpression::UndefineUserFunc); false when there is none.
  bool UndefineUserFunc(std::u16string_view Name);
  // The host's functions and constants (qvExpression::DefineFunction and DefineConstant).
  void DefineFunction(std::string_view Name, int Arity, std::function<double(std::span<const double>)> Body);
  void DefineFunction(std::string_view Name, qvFunction Function);
  void DefineFunction(std::string_view Name, qvTextFunction Function);
  void DefineConstant(std::string_view Name, double Value);
  bool UndefineHostName(std::string_view Name);
  void AddExtendedFunctions();  // qvAddExtendedFunctions on the engine
  // For hosts that need more than a double (control/HostAccess.cpp). Result evaluates as Value
  // does and reports failures alike, but gives the engine's value unconverted: a text stays a
  // text, and nothing evaluated stays empty. ErrorPosition is ErrorPos without the narrowing to
  // 16 bits. BindVariable gives the record of a variable (created with 0 when new), whose Value
  // compiled code reads; null for a name that reads as a number or on a failure.
  Variant Result(int32_t& Index);
  int32_t ErrorPosition();
  std::shared_ptr<qvVariable> BindVariable(std::u16string_view Name);
  // The engine's evaluation over columns (qvExpression::ValueColumns); 0 rows on a failure of the
  // control's own, which goes to the ErrorMsg sinks.
  size_t ValueColumns(int32_t Index, const std::vector<qvColumn>& Columns, size_t Rows, double* Out,
                      int32_t* Status = nullptr, unsigned Threads = 1);

  // ---- texts by value, as views and as UTF-8 (control/TextOverloads.cpp) ----
  // Beside the by-reference members above, which stay as they are: these take their arguments
  // by value, so literals, views and temporaries can be passed, and the std::string_view forms
  // read UTF-8. Failures are reported as by the member of the same name. Compile returns the
  // number the text was stored under (0 when the call failed).
  void DefineUserFunc(std::u16string_view Func);
  void DefineUserFunc(std::string_view Func);
  std::u16string UserFunc(const Variant& Index);
  int32_t Compile(std::u16string_view Expression);
  int32_t Compile(std::string_view Expression);
  double Value(int32_t&& Index);
  Variant Expression(const Variant& Index);
  double Variable(std::u16string_view VarName);
  double Variable(std::string_view VarName);
  void Variable(std::u16string_view VarName, double NewValue);
  void Variable(std::string_view VarName, double NewValue);
  Variant VariableName(const Variant& Index);

 private:
  qvExpression& Engine();
  void ErrorTrap(const std::u16string& Source, const qvRuntimeError& Failure);
  // Runs Body; a failure escaping it goes to ErrorTrap under "QvCalc.ocx, " and Member, and the
  // member returns its initial result.
  template <class Body>
  void Guarded(std::u16string_view Member, Body&& body);
  void RaiseErrorMsg(std::u16string& Source, std::u16string& Description);

  std::unique_ptr<qvExpression> engine_;
  std::vector<std::pair<int, ErrorMsgSink>> sinks_;
  int nextCookie_ = 1;
  int32_t width_ = 600;
  int32_t height_ = 330;
  int trapDepth_ = 0;
};
