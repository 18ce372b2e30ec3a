// Members of the control beyond its interface, for hosts that need the engine's result as it is
// (the C interface's text results), the full error position and bound variables.
#include "control/Guarded.h"
#include "control/qvCalc.h"

Variant qvCalc::Result(int32_t& Index) {
  Variant result;
  Guarded(u"Value", [&] { result = Engine().Value(Index); });
  return result;
}

int32_t qvCalc::ErrorPosition() {
  int32_t result = 0;
  Guarded(u"ErrorPos", [&] { result = Engine().ErrorPos(); });
  return result;
}

std::shared_ptr<qvVariable> qvCalc::BindVariable(std::u16string_view Name) {
  std::shared_ptr<qvVariable> record;
  Guarded(u"BindVariable", [&] { record = Engine().BindVariable(std::u16string(Name)); });
  return record;
}

size_t qvCalc::ValueColumns(int32_t Index, const std::vector<qvColumn>& Columns, size_t Rows, double* Out,
                            int32_t* Status, unsigned Threads) {
  size_t good = 0;
  Guarded(u"ValueColumns", [&] { good = Engine().ValueColumns(Index, Columns, Rows, Out, Status, Threads); });
  return good;
}
