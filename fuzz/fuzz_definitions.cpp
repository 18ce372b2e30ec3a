// Fuzz target: arbitrary definitions of user functions and arrays, then expressions that call
// and index what was defined. Each line of the input is one step, chosen by its first character:
//   U<text>   UserFunc                 A<text>   DefineArray      u<name>   UndefineUserFunc
//   S<shape>   SetArrayValues, shape = <dims digit><name>:<lower>,<upper>,...;<number of values>
//   W<slot>,<value>,<s1>,..,<s4>  ArrayValue     R<slot>,<s1>,..,<s4>  GetArrayValue
//   g<name>   GetArrayDetails          N<x>,<y>,...  the arguments of the generated calls
//   Z ResetUserFuncs   z ResetVariables   c ResetCompiledExpressions   0 Reset
//   anything else: the whole line is an expression
// After the steps, every defined user function is called and every array indexed. Inputs of odd
// length run under the strict profile.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/qvExpression.h"
#include "fuzz/EngineChecks.h"
#include "fuzz/FuzzInput.h"

namespace {

// The numbers of a comma-separated list, at most maxCount of them.
std::vector<double> NumberList(std::string_view text, size_t maxCount) {
  std::vector<double> numbers;
  while (!text.empty() && numbers.size() < maxCount) {
    size_t comma = text.find(',');
    numbers.push_back(fuzz::DecodeDouble(text.substr(0, comma)));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  return numbers;
}

// An upper estimate of the elements an array definition asks for, reading its bounds about as the
// engine does (blanks ignored, the leading number of each part up to a comma, "D" as "E").
// The engine accepts arrays of up to 2^27 elements (1 GiB); the fuzzer defines none above 2^20,
// since a few of those would only slow it down and fill its memory limit. The refusal of larger
// arrays is covered by the hostile-input test.
constexpr double kMaxFuzzElements = double(1 << 20);

double ElementEstimate(const std::u16string& definition) {
  size_t open = definition.find(u'(');
  if (open == std::u16string::npos) return 0;
  std::string packed;
  for (char16_t wide : definition.substr(open + 1)) {
    char c = wide < 128 ? char(wide) : '?';
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    packed.push_back(c == 'D' || c == 'd' ? 'E' : c);
  }
  double elements = 1;
  size_t start = 0;
  for (int dim = 0; dim < 4 && start <= packed.size(); ++dim) {
    double bound = std::strtod(packed.c_str() + start, nullptr);
    if (!std::isfinite(bound) || std::fabs(bound) > 32767.5) bound = 32767;
    elements *= std::max(0.0, std::round(bound)) + 1;
    size_t comma = packed.find(',', start);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return elements;
}

int16_t Sub(const std::vector<double>& list, size_t i) {
  return i < list.size() ? static_cast<int16_t>(fuzz::ClampToInt(list[i])) : 0;
}

// S<dims><name>:<l1>,<u1>,<l2>,<u2>,...;<count>: a block whose bounds and size need not agree.
void SetValues(qvExpression& engine, std::string_view shape) {
  if (shape.empty()) return;
  auto dims = static_cast<uint8_t>(shape[0] >= '0' && shape[0] <= '9' ? shape[0] - '0' : shape[0]);
  shape.remove_prefix(1);
  size_t colon = shape.find(':');
  Variant name(fuzz::DecodeText(shape.substr(0, colon)));
  std::string_view rest = colon == std::string_view::npos ? "" : shape.substr(colon + 1);
  size_t semicolon = rest.find(';');
  std::vector<double> bounds = NumberList(rest.substr(0, semicolon), 8);
  qvArrayValues block;
  for (size_t i = 0; i + 1 < bounds.size(); i += 2) {
    block.LowerBounds.push_back(fuzz::ClampToInt(bounds[i]));
    block.UpperBounds.push_back(fuzz::ClampToInt(bounds[i + 1]));
  }
  int32_t count = semicolon == std::string_view::npos ? 0 : fuzz::DecodeInt(rest.substr(semicolon + 1));
  block.Values.resize(static_cast<size_t>(std::clamp(count, 0, 4096)), 0.5);
  engine.SetArrayValues(name, dims, block);
}

void WriteElement(qvExpression& engine, std::string_view text) {
  std::vector<double> n = NumberList(text, 6);
  // Only finite values go in, so that a non-finite value read back is the engine's own.
  double value = n.size() > 1 && std::isfinite(n[1]) ? n[1] : 0.0;
  engine.ArrayValue(Sub(n, 0), Variant(value), Sub(n, 2), Sub(n, 3), Sub(n, 4), Sub(n, 5));
}

void ReadElement(qvExpression& engine, std::string_view text) {
  std::vector<double> n = NumberList(text, 5);
  fuzz::CheckValue(engine.GetArrayValue(Sub(n, 0), Sub(n, 1), Sub(n, 2), Sub(n, 3), Sub(n, 4)));
}

void Details(qvExpression& engine, const std::u16string& name) {
  int16_t slot = -1, dims = -1;
  std::vector<int16_t> bounds;
  engine.GetArrayDetails(name, slot, dims, bounds);
  fuzz::Check(slot >= 0 && slot <= engine.ArraysCount(), "GetArrayDetails gave a slot out of range");
  fuzz::Check(slot == 0 || bounds.size() == 5, "GetArrayDetails gave bounds without entries 0 to 4");
}

// "Name(a1, a2, ..., an)" with the first n of the arguments (repeated when there are too few).
std::u16string Call(const std::u16string& name, int n, const std::vector<double>& args) {
  std::string list;
  for (int i = 0; i < n; ++i) {
    list += (i ? ", " : "") + std::to_string(args.empty() ? i : args[size_t(i) % args.size()]);
  }
  std::u16string call = name + u"(";
  for (char c : list) call.push_back(static_cast<char16_t>(c));
  return call + u")";
}

void CallEverything(qvExpression& engine, const std::vector<double>& args) {
  // Everything compiled so far, again: the functions and arrays it names may have changed since.
  for (int32_t index = 1; index <= fuzz::HighestIndex(engine); ++index) {
    fuzz::ValueChecked(engine, index);
    fuzz::ListChecked(engine);
    engine.ClearError();
  }
  for (int16_t k = 1; k <= engine.NumUserFuncs(); ++k) {
    fuzz::Check(!engine.UserFuncText(Variant(int32_t(k))).empty(), "a defined function without text");
    fuzz::Exercise(engine, Call(engine.OpcodeName(55 + k), engine.OpcodeArgs(55 + k), args));
  }
  for (int16_t slot = 1; slot <= engine.ArraysCount(); ++slot) {
    std::u16string name = engine.ArrayName(Variant(int32_t(slot)));
    int16_t found = 0, dims = 0;
    std::vector<int16_t> bounds;
    engine.GetArrayDetails(name, found, dims, bounds);
    fuzz::Exercise(engine, Call(name, dims, args));
    fuzz::Exercise(engine, Call(name, 4, args) + u" + " + Call(name, 1, {-1.0}));
    for (int16_t s = -1; s <= 2; ++s) {
      engine.ArrayValue(slot, Variant(1.5), s, s, s, s);
      fuzz::CheckValue(engine.GetArrayValue(slot, s, s, s, s));
    }
    engine.ClearError();
  }
}

void Step(qvExpression& engine, std::string_view line, std::vector<double>& args) {
  std::string_view arg = line.empty() ? line : line.substr(1);
  std::u16string text = fuzz::DecodeText(arg);
  switch (line.empty() ? '\0' : line[0]) {
    case 'U': engine.UserFunc(text); break;
    case 'u': engine.UndefineUserFunc(text); break;
    case 'A':
      if (ElementEstimate(text) > kMaxFuzzElements) return;
      engine.DefineArray(text);
      break;
    case 'S': SetValues(engine, arg); break;
    case 'W': WriteElement(engine, arg); break;
    case 'R': ReadElement(engine, arg); break;
    case 'g': Details(engine, text); break;
    case 'N': args = NumberList(arg, 20); break;
    case 'Z': engine.ResetUserFuncs(); break;
    case 'z': engine.ResetVariables(); break;
    case 'c': engine.ResetCompiledExpressions(); break;
    case '0': engine.Reset(); break;
    default: fuzz::Exercise(engine, fuzz::DecodeText(line)); return;
  }
  fuzz::CheckErrorState(engine);
  fuzz::Check(engine.NumUserFuncs() >= 0 && engine.NumUserFuncs() <= 20, "NumUserFuncs out of 0 to 20");
  engine.ClearError();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvExpression engine;
  engine.SetStrict(size % 2 == 1);  // half the inputs: definitions replace, fail whole, bounds checked
  engine.SeedRandom(1);
  engine.SetNativeAfter(0);  // machine code for every expression, to compare with the other tiers
  fuzz::DefineHostFunctions(engine);
  std::vector<double> args{1.5, -2, 3, 0, 40000, 2.5};
  for (std::string_view line : fuzz::SplitLines(data, size, 32)) Step(engine, line, args);
  CallEverything(engine, args);
  return 0;
}
