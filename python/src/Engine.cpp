// The members of the Python engine that forward to one engine call each.
#include "python/src/Engine.h"

#include "engine/CompiledExpression.h"

#include <limits>
#include <optional>

namespace qvpy {

void Raise(const Failure& failure) {
  py::object type = py::module_::import("qvcalc").attr("Error");
  py::object error = type(failure.Code, failure.Description, failure.Position, failure.Source);
  PyErr_SetObject(type.ptr(), error.ptr());
  throw py::error_already_set();
}

py::object ToPython(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::Empty: return py::none();
    case Variant::Kind::Int16:
    case Variant::Kind::Int32: return py::int_(value.asWhole());
    case Variant::Kind::Double: return py::float_(value.asDouble());
    case Variant::Kind::Text: return py::str(py::cast(value.asText()));
  }
  return py::none();
}

Failure Recorded(const qvExpression& engine) {
  Failure failure;
  failure.Code = engine.ErrorCode();
  if (failure.Code == 0) return failure;
  failure.Description = engine.ErrorDescription();
  failure.Position = engine.ErrorPos();
  failure.Source = engine.ErrorSource();
  return failure;
}

Failure Engine::TakeFailure(qvExpression& engine) {
  Failure failure = Recorded(engine);
  if (failure.Code != 0) engine.ClearError();
  return failure;
}

std::vector<std::u16string> Engine::CheckIndex(int32_t index) {
  Failure uncompiled;
  std::vector<std::u16string> reads;
  const bool stored = Locked([&](qvExpression& e) {
    const CompiledExpression* record = index >= 1 ? e.Expression(index) : nullptr;
    if (!record) return false;
    if (record->Failure) {
      uncompiled = Failure{record->Failure->Code(), record->Failure->Description(), record->Failure->Pos(), index};
    } else if (record->Compiled) {
      for (const auto& variable : record->Compiled->Variables) reads.push_back(variable->Name);
    }
    return true;
  });
  if (!stored) throw py::index_error("no expression " + std::to_string(index));
  if (uncompiled.Code != 0) Raise(uncompiled);
  return reads;
}

int32_t Engine::Compile(const std::u16string& text) {
  return Locked([&](qvExpression& e) {
    std::u16string source = text;
    int16_t index = 0;
    e.Compile(source, index);
    return int32_t(index);
  });
}

py::object Engine::Value(int32_t index) {
  CheckIndex(index);
  return ToPython(Locked([&](qvExpression& e) { return e.Value(index); }));
}

void Engine::SetVariable(const std::u16string& name, double value) {
  Locked([&](qvExpression& e) {
    e.Variable(Variant(name), value);
    return 0;
  });
}

std::shared_ptr<qvVariable> FindVariable(qvExpression& engine, const std::u16string& name) {
  engine.VariableValue(Variant(name));  // a name the store does not hold is a recorded failure
  const bool held = engine.ErrorCode() == 0;
  engine.ClearError();
  return held ? engine.BindVariable(name) : nullptr;
}

bool Engine::HasVariable(const std::u16string& name) {
  return Locked([&](qvExpression& e) { return FindVariable(e, name) != nullptr; });
}

double Engine::Variable(const std::u16string& name) {
  std::optional<double> value = Locked([&](qvExpression& e) -> std::optional<double> {
    if (!FindVariable(e, name)) return std::nullopt;
    return e.VariableValue(Variant(name));
  });
  if (!value) {
    PyErr_SetObject(PyExc_KeyError, py::cast(name).ptr());
    throw py::error_already_set();
  }
  return *value;
}

void Engine::Define(const std::u16string& definition) {
  Locked([&](qvExpression& e) {
    std::u16string text = definition;
    e.UserFunc(text);
    return 0;
  });
}

void Engine::Undefine(const std::u16string& name) {
  if (!Locked([&](qvExpression& e) { return e.UndefineUserFunc(name); })) {
    PyErr_SetObject(PyExc_KeyError, py::cast(name).ptr());
    throw py::error_already_set();
  }
}

void Engine::DefineArray(const std::u16string& definition) {
  Locked([&](qvExpression& e) {
    std::u16string text = definition;
    e.DefineArray(text);
    return 0;
  });
}

namespace {

enum class Reach { Done, NoArray, WrongCount, OutOfBounds };

}  // namespace

double Engine::Access(const std::u16string& name, const py::args& given, size_t count,
                      const double* store) {
  std::vector<int32_t> subscripts;
  for (size_t k = 0; k < count; ++k) {
    const long long s = given[k].cast<long long>();
    subscripts.push_back(s >= 0 && s <= std::numeric_limits<int16_t>::max() ? int32_t(s) : -1);
  }
  double read = 0;
  const Reach reach = Locked([&](qvExpression& e) {
    int16_t slot = 0, dims = 0;
    std::vector<int16_t> bounds;
    e.GetArrayDetails(name, slot, dims, bounds);
    if (slot == 0) return Reach::NoArray;
    if (size_t(dims) != subscripts.size()) return Reach::WrongCount;
    std::array<int16_t, 4> at{};
    for (size_t k = 0; k < subscripts.size(); ++k) {
      if (subscripts[k] < 0 || subscripts[k] > bounds[k + 1]) return Reach::OutOfBounds;
      at[k] = int16_t(subscripts[k]);
    }
    if (store) {
      e.ArrayValue(slot, Variant(*store), at[0], at[1], at[2], at[3]);
    } else {
      e.GetArrayValue(slot, at[0], at[1], at[2], at[3]).toNumber(read);
    }
    return Reach::Done;
  });
  const std::string shown = py::repr(py::cast(name)).cast<std::string>();
  switch (reach) {
    case Reach::NoArray: throw py::key_error("no array " + shown);
    case Reach::WrongCount: throw py::index_error("array " + shown + " takes another number of subscripts");
    case Reach::OutOfBounds: throw py::index_error("subscript out of the bounds of array " + shown);
    case Reach::Done: break;
  }
  return read;
}

void Engine::SetElement(const std::u16string& name, const py::args& subscriptsAndValue) {
  if (subscriptsAndValue.size() < 2) throw py::type_error("set_element(name, *subscripts, value)");
  const double value = subscriptsAndValue[subscriptsAndValue.size() - 1].cast<double>();
  Access(name, subscriptsAndValue, subscriptsAndValue.size() - 1, &value);
}

double Engine::Element(const std::u16string& name, const py::args& subscripts) {
  return Access(name, subscripts, subscripts.size(), nullptr);
}

void Engine::Seed(uint64_t seed) {
  Locked([&](qvExpression& e) {
    e.SeedRandom(seed);
    return 0;
  });
}

bool Engine::Trap() {
  return Locked([&](qvExpression& e) { return e.EvaluationTrap(); });
}

void Engine::SetTrap(bool on) {
  Locked([&](qvExpression& e) {
    e.SetEvaluationTrap(on);
    return 0;
  });
}

bool Engine::Strict() {
  return Locked([&](qvExpression& e) { return e.Strict(); });
}

void Engine::SetStrict(bool on) {
  Locked([&](qvExpression& e) {
    e.SetStrict(on);
    return 0;
  });
}

}  // namespace qvpy
