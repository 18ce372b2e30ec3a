// Host functions and constants from Python: a callable becomes a host function whose body takes
// the interpreter lock for the call only (the engine's other work runs without it).
#include <span>
#include <stdexcept>

#include "Engine.h"

namespace qvpy {
namespace {

// The callable, released under the interpreter lock whichever thread drops the last compiled
// program that holds it.
std::shared_ptr<py::object> Held(const py::function& fn) {
  return std::shared_ptr<py::object>(new py::object(fn), [](py::object* p) {
    py::gil_scoped_acquire gil;
    delete p;
  });
}

}  // namespace

void Engine::DefineFunction(const std::string& name, const py::function& fn, int args, bool pure) {
  qvFunction f;
  f.MinArgs = args < 0 ? 0 : args;
  f.MaxArgs = args < 0 ? -1 : args;
  f.Pure = pure;
  f.Body = [held = Held(fn)](std::span<const double> a) -> double {
    py::gil_scoped_acquire gil;
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
  hostDefinitions_.push_back(py::make_tuple("function", name, fn, args, pure));
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
