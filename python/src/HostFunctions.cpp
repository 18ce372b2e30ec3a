// Host functions and constants from Python: a callable becomes a host function whose body takes
// the interpreter lock for the call only (the engine's other work runs without it). A vectorized
// callable becomes the function's block form: numpy arrays of a block of rows in, one array out.
#include <pybind11/numpy.h>

#include <algorithm>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Engine.h"

namespace qvpy {
namespace {

// The engines whose calls run a Python function on this thread, innermost last.
thread_local std::vector<const Engine*> running;

// Marks this thread as running a function for Owner's call while it lives.
class RunningFor {
 public:
  explicit RunningFor(const Engine* Owner) { running.push_back(Owner); }
  ~RunningFor() { running.pop_back(); }
  RunningFor(const RunningFor&) = delete;
  RunningFor& operator=(const RunningFor&) = delete;
};

// The callable, released under the interpreter lock whichever thread drops the last compiled
// program that holds it.
std::shared_ptr<py::object> Held(const py::function& fn) {
  return std::shared_ptr<py::object>(new py::object(fn), [](py::object* p) {
    py::gil_scoped_acquire gil;
    delete p;
  });
}

// Out from what a vectorized function returned: numbers (bool, integer or floating point), one
// a row, or a single number for every row.
void CopyResult(const py::object& result, std::span<double> out) {
  const py::array given = py::array::ensure(result);
  if (!given || std::string_view("biuf").find(given.dtype().kind()) == std::string_view::npos)
    throw std::runtime_error("the function did not return numbers");
  const auto values = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(given);
  const bool oneEach = values.ndim() == 1 && size_t(values.shape(0)) == out.size();
  if (!oneEach && values.ndim() != 0)
    throw std::runtime_error("the function returned an array of shape " + py::str(given.attr("shape")).cast<std::string>() +
                             " for " + std::to_string(out.size()) + " rows");
  if (oneEach) std::copy(values.data(), values.data() + out.size(), out.begin());
  else std::fill(out.begin(), out.end(), *values.data());
}

// The block form: each argument's column as a float64 array of its own (the function may keep
// it), the call, the result checked and copied out.
auto BlockOf(const py::function& fn, const Engine* owner) {
  return [held = Held(fn), owner](std::span<const std::span<const double>> args, std::span<double> out) {
    py::gil_scoped_acquire gil;
    RunningFor mark(owner);
    try {
      py::tuple arrays(args.size());
      for (size_t k = 0; k < args.size(); ++k) arrays[k] = py::array_t<double>(py::ssize_t(args[k].size()), args[k].data());
      CopyResult((*held)(*arrays), out);
    } catch (py::error_already_set& e) {
      throw std::runtime_error(e.what());
    }
  };
}

}  // namespace

bool RunsFunctionOf(const Engine* engine) { return std::find(running.begin(), running.end(), engine) != running.end(); }

void Engine::DefineFunction(const std::string& name, const py::function& fn, int args, bool pure, bool vectorized) {
  qvFunction f;
  f.MinArgs = args < 0 ? 0 : args;
  f.MaxArgs = args < 0 ? -1 : args;
  f.Pure = pure;
  if (vectorized) f.Block = BlockOf(fn, this);  // the engine calls it on one row for Value
  else f.Body = [held = Held(fn), owner = this](std::span<const double> a) -> double {
    py::gil_scoped_acquire gil;
    RunningFor mark(owner);
    try {
      py::tuple values(a.size());
      for (size_t k = 0; k < a.size(); ++k) values[k] = py::float_(a[k]);
      return (*held)(*values).cast<double>();
    } catch (py::error_already_set& e) {
      throw std::runtime_error(e.what());
    } catch (const py::cast_error&) {
      throw std::runtime_error("the function did not return a number");
    }
  };
  Locked([&](qvExpression& e) {
    e.DefineFunction(name, std::move(f));
    return 0;
  });
  hostDefinitions_.push_back(py::make_tuple("function", name, fn, args, pure, vectorized));
}

void Engine::DefineConstant(const std::string& name, double value) {
  Locked([&](qvExpression& e) {
    e.DefineConstant(name, value);
    return 0;
  });
  hostDefinitions_.push_back(py::make_tuple("constant", name, value));
}

void Engine::AddExtended() {
  Locked([&](qvExpression& e) {
    qvAddExtendedFunctions(e);
    return 0;
  });
  hostDefinitions_.push_back(py::make_tuple("extended"));
}

}  // namespace qvpy
