// The extension module qvcalc._core: the class Engine over the C++ engine. The package qvcalc
// (python/qvcalc/) re-exports it beside Error and the one-shot evaluate.
#include <pybind11/pybind11.h>

#include <memory>

#include "python/src/Columns.h"
#include "python/src/Engine.h"
#include "qvcalc_version.h"

namespace py = pybind11;
using namespace pybind11::literals;
using qvpy::Engine;

PYBIND11_MODULE(_core, m) {
  m.doc() = "qvCalc's expression engine (use the package qvcalc)";
  m.attr("__version__") = QVCALC_VERSION;
  m.def("converted_columns", &qvpy::ConvertedColumns,
        "How many columns evaluate has converted (copied) to contiguous float64 so far.");

  py::class_<Engine>(m, "Engine", R"(An expression engine: compiled expressions, variables, arrays and
user-defined functions. Its members release the interpreter lock while they work; one engine
serves one call at a time.)")
      .def(py::init<bool, bool>(), py::kw_only(), "strict"_a = true, "extended"_a = true,
           "Engine(*, strict=True, extended=True): strict=False gives the engine's compatible rules;\n"
           "extended=False leaves out ROUND, CEIL, FLOOR, ATN2, LOG2, HYPOT and E.")
      .def("define_function", &Engine::DefineFunction, "name"_a, "fn"_a, py::kw_only(), "args"_a = -1,
           "pure"_a = true, "vectorized"_a = false,
           "define_function(name, fn, *, args=-1, pure=True, vectorized=False): fn(*numbers) -> float\n"
           "callable in expressions as NAME(...); args: the number of arguments (-1: any). An exception\n"
           "in fn fails the evaluation (qvcalc.Error, with its message) or, in evaluate, the row.\n"
           "pure=False keeps evaluate's rows in order on one thread.\n"
           "vectorized=True: fn(*arrays) -> array, called with one float64 array an argument holding a\n"
           "block of rows (evaluate: thousands of rows a call; value: one element each) and returning\n"
           "one number a row (an array of that length) or one for all; a result that is not finite\n"
           "fails its row, an exception the block's rows, which then run one at a time to find\n"
           "their own failures. Only pure functions are called on blocks; an impure one gets one row\n"
           "a call.")
      .def("define_constant", &Engine::DefineConstant, "name"_a, "value"_a,
           "define_constant(name, value): a read-only named number.")
      .def("compile", &Engine::Compile, "text"_a,
           "Compiles an expression and returns its index; qvcalc.Error on failure.")
      .def("value", &Engine::Value, "index"_a,
           "The value of expression index: int for whole numbers, float, or str.")
      .def("__setitem__", &Engine::SetVariable, "name"_a, "value"_a)
      .def("__getitem__", &Engine::Variable, "name"_a)
      .def("__contains__", &Engine::HasVariable, "name"_a)
      .def("define", &Engine::Define, "definition"_a,
           "Defines a user function, such as 'Area(W, H) = W * H'; qvcalc.Error on failure.")
      .def("undefine", &Engine::Undefine, "name"_a,
           "Removes a user function (KeyError when there is none); expressions that call it fail.")
      .def("array", &Engine::DefineArray, "definition"_a,
           "Defines an array, such as 'T(10)' or 'Grid(3, 4)'; every element starts at 0.")
      .def("set_element", &Engine::SetElement, "name"_a,
           "set_element(name, *subscripts, value): one subscript a dimension, from 0 to its bound.")
      .def("element", &Engine::Element, "name"_a, "element(name, *subscripts): the element's value.")
      .def("seed", &Engine::Seed, "seed"_a, "Makes RND repeatable.")
      .def_property("trap", &Engine::Trap, &Engine::SetTrap,
                    "The evaluation trap (on at creation): a failing step that is not a recorded\n"
                    "failure leaves the value it started from.")
      .def_property("strict", &Engine::Strict, &Engine::SetStrict,
                    "The strict profile (on unless Engine(strict=False)): no variable created by a\n"
                    "mistake, NaN or infinite inputs and failing steps fail, definitions replace.")
      .def("evaluate", &Engine::Evaluate, "index"_a, py::pos_only(), py::kw_only(), "threads"_a = 1,
           "status"_a = false, "data"_a = py::none(), R"(evaluate(index, /, *, threads=1, status=False, data=None, **columns)

Evaluates expression index once a row, each variable named by a column holding that row's value.
Columns are one-dimensional arrays (or pandas Series) of equal length, given as keywords or as
data=, a DataFrame or dict whose columns are taken by name (a keyword wins over a data column of
the same name). Under the strict profile a keyword column that the expression does not read is a
ValueError, and a NaN or infinite input fails its row (code 13). Returns a float64 array, failed rows NaN; with status=True also an int32 array of
the rows' error codes (0 = none). threads=0 takes one thread a core.)")
      .def(py::pickle([](Engine& engine) { return engine.State(); },
                      [](const py::tuple& state) {
                        auto engine = std::make_unique<Engine>(false, false);
                        engine->Restore(state);
                        return engine;
                      }));
}
