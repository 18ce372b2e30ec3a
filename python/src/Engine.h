// The engine as Python sees it: one qvExpression behind a mutex. Every member runs with the
// interpreter lock released, so other Python threads go on while an engine works; a failure the
// engine records is taken out of it (each call starts clean) and raised as qvcalc.Error.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/qvExpression.h"

namespace qvpy {

namespace py = pybind11;

// A failure as the engine records it.
struct Failure {
  int32_t Code = 0;
  std::u16string Description;
  int32_t Position = 0;
  int32_t Source = 0;
};

// The failure the engine has recorded (code 0 when none).
Failure Recorded(const qvExpression& engine);

// The record of the variable the engine holds under name (names compare as the engine compares
// them), or null; nothing is created and nothing is left recorded.
std::shared_ptr<qvVariable> FindVariable(qvExpression& engine, const std::u16string& name);

// Raises qvcalc.Error with the failure's fields.
[[noreturn]] void Raise(const Failure& failure);

// An engine value as a Python object: int for whole numbers, float, str for texts, None for empty.
py::object ToPython(const Variant& value);

class Engine;

// Whether this thread is running a Python function for engine's call (python/src/HostFunctions.cpp):
// that call holds the engine's mutex until it ends, so the function cannot use the engine.
bool RunsFunctionOf(const Engine* engine);

class Engine {
 public:
  // extended: the extended functions (ROUND, CEIL, FLOOR, ATN2, LOG2, HYPOT, E).
  explicit Engine(bool strict = true, bool extended = false) {
    engine_.SetStrict(strict);
    if (extended) AddExtended();
  }
  // Host functions and constants (python/src/HostFunctions.cpp). A Python function is called
  // once a row with the interpreter lock held only for the call; its exception fails the row.
  // A vectorized one takes float64 arrays and returns one: a column call calls it once a block
  // of rows, Value with arrays of one element.
  void DefineFunction(const std::string& name, const py::function& fn, int args, bool pure, bool vectorized);
  void DefineConstant(const std::string& name, double value);
  void AddExtended();
  int32_t Compile(const std::u16string& text);
  py::object Value(int32_t index);
  void SetVariable(const std::u16string& name, double value);
  double Variable(const std::u16string& name);
  bool HasVariable(const std::u16string& name);
  void Define(const std::u16string& definition);
  void Undefine(const std::u16string& name);  // KeyError when no function has the name
  void DefineArray(const std::u16string& definition);
  // set_element(name, *subscripts, value) and element(name, *subscripts): one subscript for each
  // dimension, each from 0 to its bound (KeyError for an unknown array, IndexError otherwise).
  void SetElement(const std::u16string& name, const py::args& subscriptsAndValue);
  double Element(const std::u16string& name, const py::args& subscripts);
  void Seed(uint64_t seed);
  bool Trap();
  void SetTrap(bool on);
  bool Strict();
  void SetStrict(bool on);

  // evaluate(index, *, threads=1, status=False, data=None, **columns) (python/src/Columns.cpp).
  py::object Evaluate(int32_t index, unsigned threads, bool status, const py::object& data,
                      const py::kwargs& columns);

  // Pickling (python/src/State.cpp): definitions, arrays, variables and expression texts.
  py::tuple State();
  void Restore(const py::tuple& state);

 private:
  // Runs body(engine), which returns a value, with the interpreter lock released and the
  // engine's mutex held. The body starts on a clear error state (so a failure's source is its
  // own, not that of an earlier call); a failure recorded meanwhile is cleared from the engine
  // and raised once the interpreter lock is back.
  template <class Body>
  auto Locked(Body&& body) {
    if (RunsFunctionOf(this))  // the mutex is this thread's call's own: waiting would never end
      throw std::runtime_error("a function the engine is calling cannot use that engine");
    Failure failure;
    decltype(body(engine_)) result{};
    {
      py::gil_scoped_release free;
      std::lock_guard<std::mutex> hold(mutex_);
      engine_.ClearError();
      result = body(engine_);
      failure = TakeFailure(engine_);
    }
    if (failure.Code != 0) Raise(failure);
    return result;
  }
  static Failure TakeFailure(qvExpression& engine);
  // IndexError unless index names a stored expression (1 and up); the compile failure again for
  // an expression that did not compile. Returns the names of the variables its code reads.
  std::vector<std::u16string> CheckIndex(int32_t index);
  // Writes *store into the element at subscripts, or reads it when store is null.
  double Access(const std::u16string& name, const py::args& subscripts, size_t count,
                const double* store);

  std::mutex mutex_;
  qvExpression engine_;
  // The host definitions in order, as pickling carries them: ("extended",), ("constant", name,
  // value) or ("function", name, callable, args, pure, vectorized).
  std::vector<py::tuple> hostDefinitions_;
};

}  // namespace qvpy
