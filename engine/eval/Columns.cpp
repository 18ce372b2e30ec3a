// Evaluation over columns (Columns.h): one compiled program, many rows. Each row gives what assigning its
// values to the columns' variables and calling Value would give on an engine with no recorded
// failure, converted to a number as the control converts a result. The engine's own variables
// and error state are not touched: each row's variable values live in a frame of the caller's.
//
// The fast tiers run the rows on the program alone, which any number of threads may share; rows
// they decline run on the general loop, which reads the engine's arrays and settings and gives
// each row's outcome to the thread that ran it. Only a program that calls a user function or RND
// (which change the sub-engines and the generator) runs its general rows under the engine's lock.
#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>

#include "engine/eval/Columns.h"

#include "engine/eval/BlockProgram.h"
#include "engine/eval/Inputs.h"

namespace qv {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int32_t kNoExpressionCode = kErrSubscript;  // an index that names no expression
constexpr size_t kRowsPerThreadAtLeast = 4096;          // fewer rows are not worth a thread
// Rows a block for a host function's block form: enough that a call of a scripting language's
// function is a small part of the block's time, few enough that the block's registers stay in
// the cache.
constexpr size_t kBlockRows = 16384;

// The row's number: empty is 0, a text that reads as a number is that number, any other text is
// NaN with the type-mismatch code.
double RowNumber(const Variant& result, int32_t& status) {
  if (result.isEmpty()) return 0;
  double number = 0;
  if (result.toNumber(number)) return number;
  if (status == 0) status = kErrTypeMismatch;
  return kNaN;
}

// Whether rows must run one after another in row order on one thread: RND draws from the
// engine's generator (so does a user function's body, which may call it), and a host function
// that is not pure may count its calls or keep state of its own.
bool RunsInRowOrder(const Program& code) {
  return code.Impure || std::any_of(code.Code.begin(), code.Code.end(), [](const Instruction& i) {
    return i.Op == OpRnd || OpcodeTable::Kind(i.Op) == OpKind::UserFunction;
  });
}

// What one call shares between its threads.
struct ColumnRun {
  const LoopContext& loop;  // the general loop, for the rows the fast tiers decline
  std::mutex& generalLoop;  // the engine's lock
  const Program& code;
  std::vector<const double*> column;  // per program variable: its column, or null
  std::vector<Variant> kept;          // per program variable: the value a variable without a column keeps
  double* out;
  int32_t* status;
  Tier highest;
  bool strict;  // the fast tiers take only finite inputs, so that the general loop reports the others
  bool shared;  // the program calls a user function or RND: its general rows take the engine's lock
};

// One row on the general loop, with an outcome of its own: the engine's error state is not
// touched. Returns the row's number and sets its status.
double GeneralRow(const ColumnRun& Run, const Variant* const* Values, int32_t& Status) {
  std::unique_lock<std::mutex> lock(Run.generalLoop, std::defer_lock);
  if (Run.shared) lock.lock();
  const Outcome outcome = Evaluate(Run.loop, Run.code, Values);
  Status = outcome.Failure.Code();
  return Status == 0 ? RowNumber(outcome.Value, Status) : kNaN;
}

// Row R on the general loop, its variables with a column read from the columns into Values
// (which Pointers point to); counts it in Good when it succeeds.
void RunGeneralRow(const ColumnRun& Run, std::vector<Variant>& Values, const Variant* const* Pointers, size_t R,
                   size_t& Good) {
  for (size_t k = 0; k < Values.size(); ++k)
    if (Run.column[k]) Values[k] = Run.column[k][R];
  int32_t status = 0;
  Run.out[R] = GeneralRow(Run, Pointers, status);
  if (Run.status) Run.status[R] = status;
  Good += status == 0;
}

// Rows [First, Last) a block at a time, for a program whose host calls have block forms
// (BlockProgram); Frame holds the variables without a column and the constants. The rows the
// block declines run on the general loop.
size_t RunBlockRows(const ColumnRun& Run, const double* Frame, std::vector<Variant>& Values,
                    const Variant* const* Pointers, size_t First, size_t Last) {
  const size_t most = std::min(kBlockRows, Last - First), n = Values.size();
  BlockProgram block(*Run.code.Fast, Frame, most);
  std::vector<uint8_t> live(most);
  std::vector<const double*> columns(n);
  size_t good = 0;
  for (size_t first = First; first < Last; first += most) {
    const size_t rows = std::min(most, Last - first);
    std::fill(live.begin(), live.end(), uint8_t(1));
    for (size_t k = 0; k < n; ++k) {
      columns[k] = Run.column[k] ? Run.column[k] + first : nullptr;
      if (Run.strict && columns[k] && !AllFinite(columns[k], rows))  // the general loop reports the cell
        for (size_t r = 0; r < rows; ++r) live[r] &= uint8_t(std::isfinite(columns[k][r]));
    }
    block.Run(columns.data(), rows, live.data(), Run.out + first);
    if (AllLive(live.data(), rows)) {
      if (Run.status) std::fill(Run.status + first, Run.status + first + rows, 0);
      good += rows;
      continue;
    }
    for (size_t r = 0; r < rows; ++r) {
      if (!live[r]) {
        RunGeneralRow(Run, Values, Pointers, first + r, good);
        continue;
      }
      if (Run.status) Run.status[first + r] = 0;
      ++good;
    }
  }
  return good;
}

// Rows [First, Last) in the machine code's row loop; each row it declines runs on the general loop
// (Frame holds the variables without a column; Values, which Pointers point to, the row's values
// for the general loop).
size_t RunNativeRows(const ColumnRun& Run, const NativeProgram& Native, double* Frame, std::vector<Variant>& Values,
                     const Variant* const* Pointers, size_t First, size_t Last) {
  size_t good = 0;
  for (size_t r = First; r < Last; ++r) {
    const size_t end = Run.strict ? FirstNonFiniteRow(Run.column, r, Last) : Last;
    const size_t stop = end > r ? Native.RunRows(Run.column.data(), Frame, Run.out, r, end) : r;
    if (Run.status) std::fill(Run.status + r, Run.status + stop, 0);
    good += stop - r;
    r = stop;
    if (r == Last) break;
    RunGeneralRow(Run, Values, Pointers, r, good);
  }
  return good;
}

// Rows [First, Last): the fast tiers where the program has them and the row's values are doubles,
// the general loop for every row they decline.
size_t RunRows(const ColumnRun& Run, size_t First, size_t Last) {
  const Program& code = Run.code;
  const size_t n = code.Variables.size();
  std::vector<Variant> values = Run.kept;  // the row's variable values, for the general loop
  std::vector<const Variant*> pointers(n);
  for (size_t k = 0; k < n; ++k) pointers[k] = &values[k];

  // The frame: the variables without a column and the constants once; the columns per row. A
  // variable without a column that is not a double sends every row to the general loop.
  double frame[DoubleProgram::kMaxRegisters];
  bool fast = code.Fast && Run.highest >= Tier::AllDouble;
  // The call has counted its rows towards the machine code already.
  const NativeProgram* native = Run.highest >= Tier::Native ? code.Native.Made() : nullptr;
  if (fast) {
    for (size_t k = 0; k < n; ++k) {
      fast &= Run.column[k] || (values[k].isDouble() && (!Run.strict || IsFiniteInput(values[k])));
      frame[k] = values[k].asDouble();
    }
    code.Fast->LoadConstants(frame);
  }
  size_t good = 0;
  if (fast && BlockProgram::Wanted(*code.Fast)) return RunBlockRows(Run, frame, values, pointers.data(), First, Last);
  if (fast && native) return RunNativeRows(Run, *native, frame, values, pointers.data(), First, Last);
  for (size_t r = First; r < Last; ++r) {
    double value;
    if (fast) {
      bool finite = true;
      for (size_t k = 0; k < n; ++k)
        if (Run.column[k]) frame[k] = Run.column[k][r], finite &= std::isfinite(frame[k]);
      if ((finite || !Run.strict) && RunFastTiers(code, native, frame, value)) {
        Run.out[r] = value;
        if (Run.status) Run.status[r] = 0;
        ++good;
        continue;
      }
    }
    RunGeneralRow(Run, values, pointers.data(), r, good);
  }
  return good;
}

}  // namespace

size_t ValueColumns(const ColumnSource& Source, int32_t Index, const std::vector<qvColumn>& Columns, size_t Rows,
                    double* Out, int32_t* Status, unsigned Threads) {
  if (Rows == 0 || !Out) return 0;
  std::shared_ptr<const Program> program;
  int32_t refused = 0;
  std::vector<Variant> kept;
  {
    std::lock_guard<std::mutex> lock(Source.Lock);
    const std::vector<CompiledExpression>& records = Source.Expressions.Records;
    const int32_t highest = int32_t(records.size()) - 1;
    const int32_t selected = Index == 0 ? highest : Index;
    if (Source.Errors.Code() != 0) refused = Source.Errors.Code();  // refused as Value refuses
    else if (selected < 1 || selected > highest || records[size_t(selected)].Text.empty() ||
             !records[size_t(selected)].Compiled)
      refused = kNoExpressionCode;
    else if (const auto& failure = records[size_t(selected)].Failure)
      refused = failure->Code();  // a failed compilation is never run
    else program = records[size_t(selected)].Compiled;
    if (program)
      for (const auto& record : program->Variables) kept.push_back(record->Value);
  }
  if (refused) {
    std::fill(Out, Out + Rows, kNaN);
    if (Status) std::fill(Status, Status + Rows, refused);
    return 0;
  }
  // A call's rows count as evaluations towards the machine code, which a call of many rows thus
  // generates here, once, before its threads start.
  if (Source.Highest >= Tier::Native) MachineCode(*program, uint32_t(std::min<size_t>(Rows, UINT32_MAX)));
  const bool inOrder = RunsInRowOrder(*program);
  ColumnRun run{Source.Loop, Source.Lock, *program, std::vector<const double*>(program->Variables.size()),
                std::move(kept), Out, Status, Source.Highest, Source.Loop.Strict, inOrder};
  for (size_t k = 0; k < program->Variables.size(); ++k)
    for (const qvColumn& column : Columns)
      if (column.Values && EqualNoCase(column.Name, program->Variables[k]->Name)) run.column[k] = column.Values;

  unsigned threads = Threads == 0 ? std::max(1u, std::thread::hardware_concurrency()) : Threads;
  threads = unsigned(std::min<size_t>(threads, std::max<size_t>(1, Rows / kRowsPerThreadAtLeast)));
  if (inOrder) threads = 1;
  if (threads <= 1) return RunRows(run, 0, Rows);
  std::vector<size_t> good(threads, 0);
  std::vector<std::thread> pool;
  const size_t chunk = (Rows + threads - 1) / threads;
  for (unsigned t = 1; t < threads; ++t) {
    const size_t first = std::min(Rows, t * chunk), last = std::min(Rows, first + chunk);
    pool.emplace_back([&, t, first, last] { good[t] = RunRows(run, first, last); });
  }
  good[0] = RunRows(run, 0, std::min(Rows, chunk));
  for (std::thread& thread : pool) thread.join();
  size_t total = 0;
  for (size_t g : good) total += g;
  return total;
}

}  // namespace qv
