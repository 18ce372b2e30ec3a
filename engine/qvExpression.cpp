// The facade: each public member hands its call to the engine behind it or to one of the
// engine's components.
#include "engine/qvExpression.h"

#include "engine/Engine.h"
#include "engine/Utf8.h"

namespace {

// One setting changed, the others kept.
template <class T>
void Adjust(qv::Engine& Engine, T qv::EngineSettings::*Setting, T Value) {
  qv::EngineSettings settings = Engine.Settings();
  settings.*Setting = Value;
  Engine.SetSettings(settings);
}

}  // namespace

qvExpression::qvExpression() : engine_(std::make_unique<qv::Engine>()) {}
qvExpression::~qvExpression() = default;

int16_t qvExpression::NumUserFuncs() const { return engine_->UserFunctions().NumUserFuncs(); }
int16_t qvExpression::ArraysCount() const { return engine_->Arrays().ArraysCount(); }
bool qvExpression::CreateVariables() const { return engine_->Settings().CreateVariables; }
void qvExpression::SetCreateVariables(bool On) { Adjust(*engine_, &qv::EngineSettings::CreateVariables, On); }
bool qvExpression::EvaluationTrap() const { return engine_->Settings().EvaluationTrap; }
void qvExpression::SetEvaluationTrap(bool On) { Adjust(*engine_, &qv::EngineSettings::EvaluationTrap, On); }
bool qvExpression::Strict() const { return engine_->Settings().Strict; }
void qvExpression::SetStrict(bool On) { engine_->SetSettings(engine_->Settings().WithStrict(On)); }

int32_t qvExpression::ErrorCode() const { return engine_->Errors().Code(); }
std::u16string qvExpression::ErrorDescription() const { return engine_->Errors().Description(); }
int32_t qvExpression::ErrorPos() const { return engine_->Errors().Pos(); }
int32_t qvExpression::ErrorSource() const { return engine_->Errors().Source(); }
void qvExpression::ClearError() { engine_->Errors().Clear(); }

void qvExpression::Compile(std::u16string& Text, int16_t& Index) { engine_->Compile(Text, Index); }
std::u16string qvExpression::RPNExpression() { return engine_->RPNExpression(); }

Variant qvExpression::Value(int32_t& Index) { return engine_->Value(Index); }
size_t qvExpression::ValueColumns(int32_t Index, const std::vector<qvColumn>& Columns, size_t Rows,
                                  double* Out, int32_t* Status, unsigned Threads) {
  return engine_->ValueColumns(Index, Columns, Rows, Out, Status, Threads);
}

void qvExpression::Variable(const Variant& VarName, double& Value) {
  if (engine_->Hosts().RefusedAsConstant(VarName)) return;
  engine_->Variables().Variable(VarName, Value);
}
double qvExpression::VariableValue(const Variant& VarName) { return engine_->Variables().VariableValue(VarName); }
int32_t qvExpression::NumVariables() { return engine_->Variables().NumVariables(); }
int16_t qvExpression::VariablesCount() { return engine_->Variables().VariablesCount(); }
std::u16string qvExpression::VariableName(const Variant& Index) { return engine_->Variables().VariableName(Index); }
void qvExpression::ResetVariables() { engine_->ResetVariables(); }
std::shared_ptr<qvVariable> qvExpression::BindVariable(const std::u16string& Name) {
  return engine_->Variables().BindVariable(Name);
}

void qvExpression::DefineArray(std::u16string& Definition) { engine_->Arrays().DefineArray(Definition); }
void qvExpression::SetArrayValues(const Variant& Name, uint8_t NumDims, const qvArrayValues& Values) {
  engine_->Arrays().SetArrayValues(Name, NumDims, Values);
}
void qvExpression::GetArrayDetails(const std::u16string& Name, int16_t& Slot, int16_t& NumDims,
                                   std::vector<int16_t>& Bounds) {
  engine_->Arrays().GetArrayDetails(Name, Slot, NumDims, Bounds);
}
void qvExpression::ArrayValue(int16_t Slot, const Variant& Value, int16_t S1, int16_t S2, int16_t S3,
                              int16_t S4) {
  engine_->Arrays().ArrayValue(Slot, Value, S1, S2, S3, S4);
}
Variant qvExpression::GetArrayValue(int16_t Slot, int16_t S1, int16_t S2, int16_t S3, int16_t S4) {
  return engine_->Arrays().GetArrayValue(Slot, S1, S2, S3, S4);
}
std::u16string qvExpression::ArrayName(const Variant& Slot) { return engine_->Arrays().ArrayName(Slot); }

void qvExpression::UserFunc(std::u16string& Definition) { engine_->UserFunctions().UserFunc(Definition); }
std::u16string qvExpression::UserFuncText(const Variant& Index) { return engine_->UserFunctions().UserFuncText(Index); }
bool qvExpression::ReservedName(const std::u16string& Name, const std::u16string& Prefix) {
  return engine_->UserFunctions().ReservedName(Name, Prefix);
}
void qvExpression::DefineFunction(std::string_view Name, int Arity,
                                  std::function<double(std::span<const double>)> Body) {
  qvFunction f;
  f.MinArgs = Arity < 0 ? 0 : Arity;
  f.MaxArgs = Arity < 0 ? -1 : Arity;
  f.Body = std::move(Body);
  DefineFunction(Name, std::move(f));
}
void qvExpression::DefineFunction(std::string_view Name, qvFunction Function) {
  engine_->Hosts().DefineFunction(FromUtf8(Name), std::move(Function));
}
void qvExpression::DefineFunction(std::string_view Name, qvTextFunction Function) {
  engine_->Hosts().DefineFunction(FromUtf8(Name), std::move(Function));
}
void qvExpression::DefineConstant(std::string_view Name, double Value) {
  engine_->Hosts().DefineConstant(FromUtf8(Name), Value);
}
bool qvExpression::UndefineHostName(std::string_view Name) {
  return engine_->Hosts().UndefineHostName(FromUtf8(Name));
}
void qvExpression::ResetUserFuncs() { engine_->UserFunctions().ResetUserFuncs(); }
bool qvExpression::UndefineUserFunc(std::u16string_view Name) {
  return engine_->UserFunctions().UndefineUserFunc(Name);
}

int32_t qvExpression::NumExpressions() { return engine_->Expressions().NumExpressions(); }
std::u16string qvExpression::ExpressionText(const Variant& Index) {
  return engine_->Expressions().ExpressionText(Index);
}
void qvExpression::ResetCompiledExpressions() { engine_->Expressions().ResetCompiledExpressions(); }
void qvExpression::Reset() { engine_->Reset(); }

const std::u16string& qvExpression::OpcodeName(int16_t Opcode) const { return engine_->Opcodes().Name(Opcode); }
uint8_t qvExpression::OpcodePriority(int16_t Opcode) const { return engine_->Opcodes().Priority(Opcode); }
int16_t qvExpression::OpcodeArgs(int16_t Opcode) const { return engine_->Opcodes().Args(Opcode); }
const CompiledExpression* qvExpression::Expression(int32_t Index) const {
  return engine_->Expressions().Expression(Index);
}
void qvExpression::SeedRandom(uint64_t Seed) { engine_->SeedRandom(Seed); }
qvTier qvExpression::HighestTier() const { return engine_->Settings().HighestTier; }
void qvExpression::SetHighestTier(qvTier Highest) { Adjust(*engine_, &qv::EngineSettings::HighestTier, Highest); }
uint32_t qvExpression::NativeAfter() const { return engine_->Settings().NativeAfter; }
void qvExpression::SetNativeAfter(uint32_t Evaluations) {
  Adjust(*engine_, &qv::EngineSettings::NativeAfter, Evaluations);
}
