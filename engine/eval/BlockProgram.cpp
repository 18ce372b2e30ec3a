// The all-double program over a block of rows (BlockProgram.h).
#include "engine/eval/BlockProgram.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "engine/eval/DoubleProgramRun.h"
#include "engine/eval/HostCall.h"

namespace qv {
namespace {

bool HasBlock(const DoubleProgram& Fast, const DoubleStep& s) noexcept {
  return s.Op == DoubleOp::Host && s.A < Fast.Hosts.size() && Fast.Hosts[s.A].Function->Function.Block;
}

// One more than the highest register the program names.
size_t RegistersUsed(const DoubleProgram& Fast) {
  size_t most = std::max<size_t>(Fast.InputCount(), size_t(Fast.Result) + 1);
  for (const DoubleStep& s : Fast.Steps)
    most = std::max<size_t>({most, size_t(s.Target) + 1, size_t(s.A) + 1, size_t(s.B) + 1, size_t(s.C) + 1});
  for (const DoubleHostCall& call : Fast.Hosts)
    for (uint8_t reg : call.Args) most = std::max<size_t>(most, size_t(reg) + 1);
  return most;
}

// Declines the rows of T whose value is not finite, where Finite (whether all are) is false: a
// block rarely holds such a value, so the test runs on all rows first, without a branch a row.
void DeclineNonFinite(const double* T, size_t Rows, uint8_t* Live, bool Finite) {
  if (!Finite)
    for (size_t r = 0; r < Rows; ++r) Live[r] &= uint8_t(IsFiniteResult(T[r]));
}

// Two rows at a time in one vector register (SSE2 on x86-64, NEON on AArch64, plain code where
// the target has neither): at -O2 the compiler leaves these loops one row at a time.
using Pair = double __attribute__((vector_size(16)));
using PairMask = int64_t __attribute__((vector_size(16)));

Pair Load(const double* From) noexcept {
  Pair v;
  std::memcpy(&v, From, sizeof v);
  return v;
}

// All lanes set where V is finite: V - V is 0 for a finite value, NaN for the others.
PairMask FiniteLanes(Pair V) noexcept { return (V - V) == Pair{0, 0}; }

}  // namespace

bool AllFinite(const double* T, size_t Rows) noexcept {
  PairMask finite = {-1, -1};
  size_t r = 0;
  for (; r + 2 <= Rows; r += 2) finite &= FiniteLanes(Load(T + r));
  bool all = finite[0] && finite[1];
  for (; r < Rows; ++r) all &= IsFiniteResult(T[r]);
  return all;
}

namespace {

// T := A op B on every row, which is what RunDoubleProgram computes on one; whether all are finite.
template <class Op>
bool Apply(double* T, const double* A, const double* B, size_t Rows, Op op) {
  PairMask finite = {-1, -1};
  size_t r = 0;
  for (; r + 2 <= Rows; r += 2) {
    const Pair t = op(Load(A + r), Load(B + r));
    std::memcpy(T + r, &t, sizeof t);
    finite &= FiniteLanes(t);
  }
  bool all = finite[0] && finite[1];
  for (; r < Rows; ++r) {
    T[r] = op(A[r], B[r]);
    all &= IsFiniteResult(T[r]);
  }
  return all;
}

}  // namespace

bool AllLive(const uint8_t* Live, size_t Rows) noexcept { return !std::memchr(Live, 0, Rows); }

bool BlockProgram::Wanted(const DoubleProgram& Fast) noexcept {
  return std::any_of(Fast.Steps.begin(), Fast.Steps.end(), [&](const DoubleStep& s) { return HasBlock(Fast, s); });
}

BlockProgram::BlockProgram(const DoubleProgram& Fast, const double* Frame, size_t Rows) : fast_(Fast) {
  const size_t width = RegistersUsed(Fast), inputs = Fast.InputCount();
  kept_.resize(inputs * Rows);
  temps_.resize((width - inputs) * Rows);
  reg_.resize(width);
  for (size_t k = 0; k < width; ++k) {
    reg_[k] = k < inputs ? kept_.data() + k * Rows : temps_.data() + (k - inputs) * Rows;
    if (k < inputs) std::fill(reg_[k], reg_[k] + Rows, Frame[k]);
  }
  for (const DoubleStep& s : Fast.Steps) {
    single_.push_back(DoubleProgram{});
    single_.back().Steps = {s};
    single_.back().Result = s.Target;
    if (s.Op == DoubleOp::Host) single_.back().Hosts = Fast.Hosts;
  }
}

void BlockProgram::Run(const double* const* Columns, size_t Rows, uint8_t* Live, double* Out) {
  for (size_t k = 0; k < fast_.Variables; ++k)
    if (Columns[k]) reg_[k] = const_cast<double*>(Columns[k]);  // inputs are only read
  // The result's register is the caller's output, which then needs no copy; the steps that use
  // it for their own values before the last overwrites it are no different.
  const bool input = fast_.Result < fast_.InputCount();
  if (!input) reg_[fast_.Result] = Out;
  for (size_t i = 0; i < fast_.Steps.size(); ++i) {
    const DoubleStep& s = fast_.Steps[i];
    if (HasBlock(fast_, s)) CallBlock(s, Rows, Live);
    else if (s.Op == DoubleOp::Add || s.Op == DoubleOp::Subtract || s.Op == DoubleOp::Multiply) Arithmetic(s, Rows, Live);
    else RowByRow(s, single_[i], Rows, Live);
  }
  if (input) std::copy(reg_[fast_.Result], reg_[fast_.Result] + Rows, Out);
}

// The commonest steps in loops of their own: each row computes what RunDoubleProgram computes
// (the operation, then the finiteness test) whether it is live or not, and a row whose result is
// not finite declines.
void BlockProgram::Arithmetic(const DoubleStep& Step, size_t Rows, uint8_t* Live) {
  const double *a = reg_[Step.A], *b = reg_[Step.B];
  double* t = reg_[Step.Target];
  bool finite;
  if (Step.Op == DoubleOp::Add) finite = Apply(t, a, b, Rows, [](auto x, auto y) { return x + y; });
  else if (Step.Op == DoubleOp::Subtract) finite = Apply(t, a, b, Rows, [](auto x, auto y) { return x - y; });
  else finite = Apply(t, a, b, Rows, [](auto x, auto y) { return x * y; });
  DeclineNonFinite(t, Rows, Live, finite);
}

// Any other step on each live row: the registers it reads (its operands, a host call's
// arguments) gathered into a frame, the step run alone.
void BlockProgram::RowByRow(const DoubleStep& Step, const DoubleProgram& Single, size_t Rows, uint8_t* Live) {
  std::array<double, DoubleProgram::kMaxRegisters> frame;
  std::array<uint8_t, 3 + kMaxHostArgs> read = {Step.A, Step.B, Step.C};
  size_t reads = 3;
  if (Step.Op == DoubleOp::Host)
    for (uint8_t reg : fast_.Hosts[Step.A].Args)
      if (reads < read.size()) read[reads++] = reg;
  double* t = reg_[Step.Target];
  for (size_t r = 0; r < Rows; ++r) {
    if (!Live[r]) continue;
    for (size_t k = 0; k < reads; ++k) frame[read[k]] = reg_[read[k]][r];
    if (!RunDoubleProgram(Single, frame.data(), t[r])) Live[r] = 0;
  }
}

// The call on the rows [First, Last) of the call's list, whose arguments and results lie at
// argBase_ and outBase_. One that throws is tried again on each half, down to single rows, which
// decline: the general loop then calls the function on that row alone and records its failure
// with its own message. A few bad rows thus cost a few calls each, not a call for every row of
// the block.
void BlockProgram::CallRows(const HostFunction& Function, size_t First, size_t Last, uint8_t* Live) {
  const size_t count = argBase_.size();
  std::array<std::span<const double>, kMaxHostArgs> args;
  for (size_t k = 0; k < count; ++k) args[k] = std::span<const double>(argBase_[k] + First, Last - First);
  try {
    Function.Function.Block(std::span<const std::span<const double>>(args.data(), count),
                            std::span<double>(outBase_ + First, Last - First));
    return;
  } catch (...) {
  }
  if (Last - First == 1) {
    Live[rows_.empty() ? First : rows_[First]] = 0;
    outBase_[First] = NAN;
    return;
  }
  const size_t middle = First + (Last - First) / 2;
  CallRows(Function, First, middle, Live);
  CallRows(Function, middle, Last, Live);
}

// One call for the live rows: on the registers themselves when every row is live and the result
// goes to a register no argument reads (F(F(x)) writes where it reads: a call that fails half
// way would spoil the arguments of its retries), else on their arguments gathered argument by
// argument, the results put back. A result that is not finite declines its row.
void BlockProgram::CallBlock(const DoubleStep& Step, size_t Rows, uint8_t* Live) {
  const DoubleHostCall& call = fast_.Hosts[Step.A];
  const size_t count = std::min<size_t>(call.Args.size(), kMaxHostArgs);
  double* t = reg_[Step.Target];
  argBase_.resize(count);
  rows_.clear();  // empty: the rows are all the block's
  const bool aliased = std::find(call.Args.begin(), call.Args.end(), Step.Target) != call.Args.end();
  if (!aliased && AllLive(Live, Rows)) {
    for (size_t k = 0; k < count; ++k) argBase_[k] = reg_[call.Args[k]];
    outBase_ = t;
    CallRows(*call.Function, 0, Rows, Live);
    DeclineNonFinite(t, Rows, Live, AllFinite(t, Rows));
    return;
  }
  for (size_t r = 0; r < Rows; ++r)
    if (Live[r]) rows_.push_back(uint32_t(r));
  const size_t n = rows_.size();
  if (n == 0) return;
  args_.resize(n * count);
  out_.resize(n);
  for (size_t k = 0; k < count; ++k) {
    const double* from = reg_[call.Args[k]];
    double* column = args_.data() + k * n;
    for (size_t j = 0; j < n; ++j) column[j] = from[rows_[j]];
    argBase_[k] = column;
  }
  outBase_ = out_.data();
  CallRows(*call.Function, 0, n, Live);
  for (size_t j = 0; j < n; ++j) {
    t[rows_[j]] = out_[j];
    if (!IsFiniteResult(out_[j])) Live[rows_[j]] = 0;
  }
}

}  // namespace qv
