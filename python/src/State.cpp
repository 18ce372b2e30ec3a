// Pickling an engine: its profile and evaluation trap, variables (in the store's order, with their values),
// user-function definitions, arrays (bounds and elements) and expression texts. Restoring
// replays them in that order on a new engine, so every expression is recompiled under its own
// index with the same variables, functions and arrays in reach; a definition or expression that
// failed before fails again, quietly, as it did then.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "python/src/Engine.h"

namespace qvpy {

namespace {

// Version 2 adds the profile; a state of version 1 (the trap only) restores the compatible one.
constexpr int kStateVersion = 3;

struct ArrayCopy {
  std::u16string Name;
  std::vector<int32_t> Bounds;  // one upper bound a dimension
  std::vector<double> Values;   // the first subscript varying fastest
};

struct Snapshot {
  bool Strict = false;
  bool Trap = true;
  std::vector<std::pair<std::u16string, Variant>> Variables;
  std::vector<std::u16string> Functions;
  std::vector<ArrayCopy> Arrays;
  std::vector<std::u16string> Expressions;
};

// The elements of the array in slot, the first subscript varying fastest.
std::vector<double> Elements(qvExpression& e, int16_t slot, const std::vector<int32_t>& bounds) {
  size_t count = bounds.empty() ? 0 : 1;
  for (int32_t b : bounds) count *= b < 0 ? 0 : size_t(b) + 1;
  std::vector<double> values(count, 0.0);
  std::array<int16_t, 4> at{};
  for (size_t n = 0; n < count; ++n) {
    size_t rest = n;
    for (size_t k = 0; k < bounds.size(); ++k) {
      at[k] = int16_t(rest % (size_t(bounds[k]) + 1));
      rest /= size_t(bounds[k]) + 1;
    }
    e.GetArrayValue(slot, at[0], at[1], at[2], at[3]).toNumber(values[n]);
  }
  return values;
}

Snapshot Take(qvExpression& e) {
  Snapshot s;
  s.Strict = e.Strict();
  s.Trap = e.EvaluationTrap();
  for (int32_t k = 1; k <= e.NumVariables(); ++k) {
    const std::u16string name = e.VariableName(Variant(k));
    if (std::shared_ptr<qvVariable> record = e.BindVariable(name)) s.Variables.emplace_back(name, record->Value);
  }
  for (int32_t k = 1; k <= e.NumUserFuncs(); ++k) s.Functions.push_back(e.UserFuncText(Variant(k)));
  for (int32_t slot = 1; slot <= e.ArraysCount(); ++slot) {
    ArrayCopy a;
    a.Name = e.ArrayName(Variant(slot));
    int16_t found = 0, dims = 0;
    std::vector<int16_t> bounds;
    e.GetArrayDetails(a.Name, found, dims, bounds);
    if (found == 0) continue;
    for (int16_t k = 1; k <= dims; ++k) a.Bounds.push_back(bounds[size_t(k)]);
    a.Values = Elements(e, found, a.Bounds);
    s.Arrays.push_back(std::move(a));
  }
  for (int32_t i = 1; e.Expression(i) != nullptr; ++i) s.Expressions.push_back(e.ExpressionText(Variant(i)));
  return s;
}

void Replay(qvExpression& e, Snapshot& s) {
  e.SetStrict(s.Strict);
  e.SetEvaluationTrap(s.Trap);
  for (auto& [name, value] : s.Variables)
    if (std::shared_ptr<qvVariable> record = e.BindVariable(name)) record->Value = value;
  for (std::u16string& text : s.Functions) {
    e.UserFunc(text);
    e.ClearError();
  }
  for (ArrayCopy& a : s.Arrays) {
    qvArrayValues block{std::vector<int32_t>(a.Bounds.size(), 0), a.Bounds, std::move(a.Values)};
    e.SetArrayValues(Variant(a.Name), uint8_t(a.Bounds.size()), block);
    e.ClearError();
  }
  for (size_t i = 0; i < s.Expressions.size(); ++i) {
    int16_t index = int16_t(i + 1);
    e.Compile(s.Expressions[i], index);  // one that fails keeps its failure, for its evaluations
    e.ClearError();
  }
}

// A variable's value back from its pickled form: int, float or str.
Variant FromPython(const py::handle& value) {
  if (py::isinstance<py::str>(value)) return Variant(value.cast<std::u16string>());
  if (py::isinstance<py::int_>(value)) {
    const long long n = value.cast<long long>();
    if (n >= INT16_MIN && n <= INT16_MAX) return Variant(int16_t(n));
    if (n >= INT32_MIN && n <= INT32_MAX) return Variant(int32_t(n));
  }
  return Variant(value.cast<double>());
}

}  // namespace

py::tuple Engine::State() {
  Snapshot s = Locked([&](qvExpression& e) { return Take(e); });
  py::list variables, arrays;
  for (const auto& [name, value] : s.Variables) variables.append(py::make_tuple(name, ToPython(value)));
  for (const ArrayCopy& a : s.Arrays)
    arrays.append(py::make_tuple(a.Name, py::tuple(py::cast(a.Bounds)),
                                 py::array_t<double>(py::ssize_t(a.Values.size()), a.Values.data())));
  py::list hosts;
  for (const py::tuple& definition : hostDefinitions_) hosts.append(definition);
  return py::make_tuple(kStateVersion, s.Trap, variables, py::cast(s.Functions), arrays,
                        py::cast(s.Expressions), s.Strict, hosts);
}

void Engine::Restore(const py::tuple& state) {
  const int version = state.size() >= 1 ? state[0].cast<int>() : 0;
  if (!((version == 1 && state.size() == 6) || (version == 2 && state.size() == 7) ||
        (version == kStateVersion && state.size() == 8)))
    throw py::value_error("not the pickled state of a qvcalc.Engine");
  Snapshot s;
  s.Strict = version >= 2 && state[6].cast<bool>();
  // The host's definitions first: the expressions compiled below may call them.
  if (version == kStateVersion)
    for (py::handle item : state[7]) {
      py::tuple d = py::reinterpret_borrow<py::tuple>(item);
      const std::string what = d[0].cast<std::string>();
      if (what == "extended") AddExtended();
      else if (what == "constant") DefineConstant(d[1].cast<std::string>(), d[2].cast<double>());
      else
        DefineFunction(d[1].cast<std::string>(), d[2].cast<py::function>(), d[3].cast<int>(), d[4].cast<bool>(),
                       d.size() > 5 && d[5].cast<bool>());
    }
  s.Trap = state[1].cast<bool>();
  for (py::handle item : state[2]) {
    py::tuple pair = py::reinterpret_borrow<py::tuple>(item);
    s.Variables.emplace_back(pair[0].cast<std::u16string>(), FromPython(pair[1]));
  }
  s.Functions = state[3].cast<std::vector<std::u16string>>();
  for (py::handle item : state[4]) {
    py::tuple entry = py::reinterpret_borrow<py::tuple>(item);
    ArrayCopy a{entry[0].cast<std::u16string>(), entry[1].cast<std::vector<int32_t>>(),
                entry[2].cast<std::vector<double>>()};
    s.Arrays.push_back(std::move(a));
  }
  s.Expressions = state[5].cast<std::vector<std::u16string>>();
  Locked([&](qvExpression& e) {
    Replay(e, s);
    return 0;
  });
}

}  // namespace qvpy
