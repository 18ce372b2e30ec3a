// Engine.evaluate: the columns of a call as float64 arrays (the caller's own memory whenever it
// already is one-dimensional contiguous float64), run through ValueColumns with the interpreter
// lock released.
#include <pybind11/numpy.h>

#include <atomic>

#include "python/src/Columns.h"
#include "python/src/Engine.h"
#include "engine/compile/NearestName.h"

namespace qvpy {

namespace {

using namespace pybind11::literals;

std::atomic<uint64_t> convertedColumns{0};

struct Given {
  std::u16string Name;
  py::object Source;
  bool FromData;
};

std::string Shown(const std::u16string& name) { return py::repr(py::cast(name)).cast<std::string>(); }

// The columns by name: data's items (a DataFrame's columns, a dict's entries) whose key is a
// text, then the keywords.
std::vector<Given> Gather(const py::object& data, const py::kwargs& keywords) {
  std::vector<Given> given;
  if (!data.is_none()) {
    for (py::handle item : data.attr("items")()) {
      py::tuple pair = py::reinterpret_borrow<py::tuple>(item);
      if (py::isinstance<py::str>(pair[0])) given.push_back(Given{pair[0].cast<std::u16string>(), pair[1], true});
    }
  }
  for (auto [key, value] : keywords)
    given.push_back(Given{key.cast<std::u16string>(), py::reinterpret_borrow<py::object>(value), false});
  return given;
}

bool Reads(const std::vector<std::u16string>& reads, const std::u16string& name) {
  for (const std::u16string& read : reads)
    if (qv::EqualNoCase(read, name)) return true;
  return false;
}

// For each column, the variable record it feeds, or null when the expression reads no variable
// of that name (the column is then neither converted nor fed).
std::vector<std::shared_ptr<qvVariable>> Targets(qvExpression& e, const std::vector<Given>& given,
                                                 const std::vector<std::u16string>& reads) {
  std::vector<std::shared_ptr<qvVariable>> targets;
  for (const Given& g : given) targets.push_back(Reads(reads, g.Name) ? FindVariable(e, g.Name) : nullptr);
  return targets;
}

// Drops the columns whose variable another column feeds instead: a keyword wins over a data
// column; two keywords or two data columns for one variable (X and x) are an error.
void OneColumnAVariable(std::vector<std::shared_ptr<qvVariable>>& targets, const std::vector<Given>& given) {
  for (size_t g = 0; g < given.size(); ++g) {
    for (size_t h = 0; h < g && targets[g]; ++h) {
      if (targets[h] != targets[g]) continue;
      if (given[h].FromData == given[g].FromData)
        throw py::value_error("two columns for the variable " + Shown(given[g].Name));
      targets[h] = nullptr;  // the data column, which comes first
    }
  }
}

// The number of rows: the length every column shares, or a DataFrame's length when it gives no
// column at all.
size_t RowCount(const std::vector<Given>& given, const py::object& data) {
  if (given.empty()) {
    if (!data.is_none() && py::hasattr(data, "columns")) return py::len(data);
    throw py::value_error("evaluate needs columns (keywords or data=) to know the number of rows");
  }
  const size_t rows = py::len(given.front().Source);
  for (const Given& g : given)
    if (py::len(g.Source) != rows)
      throw py::value_error("column " + Shown(g.Name) + " has " + std::to_string(py::len(g.Source)) +
                            " rows, column " + Shown(given.front().Name) + " " + std::to_string(rows));
  return rows;
}

// The column as one-dimensional contiguous float64: the same memory when the input already is
// such an array (or a pandas Series over one); otherwise a converted copy, counted.
py::array AsFloat64(const Given& g) {
  py::module_ numpy = py::module_::import("numpy");
  const bool arrayLike = py::isinstance<py::array>(g.Source) || py::hasattr(g.Source, "__array__");
  py::array view = numpy.attr("asarray")(g.Source);
  if (view.ndim() != 1) throw py::value_error("column " + Shown(g.Name) + " is not one-dimensional");
  py::array column = numpy.attr("ascontiguousarray")(view, "dtype"_a = "float64");
  if (!arrayLike || column.data() != view.data()) ++convertedColumns;
  return column;
}

// Under the strict profile a keyword column feeds a variable the expression reads: any other is
// a mistake (a misspelt name would otherwise leave the column unused and the variable as it was).
// A data= frame may carry columns the expression does not read.
void RequireRead(const std::vector<Given>& given, const std::vector<std::u16string>& reads) {
  for (const Given& g : given) {
    if (g.FromData || Reads(reads, g.Name)) continue;
    std::string message = "no variable " + py::cast(g.Name).cast<std::string>() + " in the expression";
    const std::u16string nearest = qv::NearestName(g.Name, reads);
    if (!nearest.empty()) message += "; did you mean " + py::cast(nearest).cast<std::string>() + "?";
    throw py::value_error(message);
  }
}

}  // namespace

uint64_t ConvertedColumns() { return convertedColumns.load(); }

py::object Engine::Evaluate(int32_t index, unsigned threads, bool status, const py::object& data,
                            const py::kwargs& keywords) {
  const std::vector<std::u16string> reads = CheckIndex(index);
  const std::vector<Given> given = Gather(data, keywords);
  if (Strict()) RequireRead(given, reads);
  const size_t rows = RowCount(given, data);
  std::vector<std::shared_ptr<qvVariable>> targets = Locked([&](qvExpression& e) { return Targets(e, given, reads); });
  OneColumnAVariable(targets, given);
  std::vector<py::array> arrays;  // held until the engine has read them
  std::vector<qvColumn> columns;
  for (size_t g = 0; g < given.size(); ++g) {
    if (!targets[g]) continue;
    arrays.push_back(AsFloat64(given[g]));
    columns.push_back(qvColumn{given[g].Name, static_cast<const double*>(arrays.back().data())});
  }
  targets.clear();  // the records are the engine's to keep
  py::array_t<double> out{py::ssize_t(rows)};
  py::array_t<int32_t> codes{py::ssize_t(status ? rows : 0)};
  double* outData = out.mutable_data();
  int32_t* codeData = status ? codes.mutable_data() : nullptr;
  Locked([&](qvExpression& e) { return e.ValueColumns(index, columns, rows, outData, codeData, threads); });
  if (status) return py::make_tuple(out, codes);
  return out;
}

}  // namespace qvpy
