// Fuzz target: the control driven by a sequence of member calls, one a line, chosen by the first
// character; the invariants of the control are checked after every call. Inputs of odd length run
// under the strict profile.
//   C<text> Compile           V Value()           v<index> Value(index)
//   P<name>=<x> Variable put  G<name> Variable get
//   D<text> DefineUserFunc    U<value> UserFunc   X<value> Expression   N<value> VariableName
//   R Reset   E ClearError   r every read-only member   Z<w>,<h> SetSize   s<seed> SeedRandom
//   A connect a sink that calls ClearError from inside the event   a disconnect it
// <value> is decoded by fuzz::DecodeVariant; unknown letters do nothing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "control/qvCalc.h"
#include "fuzz/FuzzInput.h"

namespace {

using fuzz::Check;

struct Session {
  qvCalc calc;
  int events = 0;          // ErrorMsg events raised so far
  int reentrantCookie = 0;  // the sink that clears the error from inside the event, when connected

  explicit Session(bool strict) {
    calc.SetStrict(strict);
    calc.Advise([this](std::u16string& source, std::u16string& description) {
      ++events;
      Check(source.starts_with(u"Error ") && source.find(u" has occured in QvCalc.ocx, ") != std::u16string::npos,
            "an ErrorMsg source not composed as Error n has occured in QvCalc.ocx, member");
      (void)description;
    });
  }
};

int32_t Count(const Variant& count, Variant::Kind kind, const char* what) {
  Check(count.kind() == kind, what);
  return count.asWhole();
}

int32_t NumExpressions(qvCalc& calc) {
  return Count(calc.NumExpressions(), Variant::Kind::Int32, "NumExpressions is not a 32-bit whole number");
}

void Compile(qvCalc& calc, std::u16string text) {
  int32_t before = NumExpressions(calc);
  calc.Compile(text);
  if (before >= INT16_MAX) return;  // no index is left to allot
  Check(NumExpressions(calc) == (before == 0 ? 2 : before + 1), "Compile did not add one expression");
}

// Value must raise nothing but ErrorMsg, and a recorded error refuses the evaluation quietly.
void Value(Session& s, bool withIndex, int32_t index) {
  int16_t code = s.calc.ErrorCode();
  std::u16string description = s.calc.ErrorDescription();
  int events = s.events;
  int32_t asked = index;
  double value = withIndex ? s.calc.Value(index) : s.calc.Value();
  if (code != 0) {
    Check(value == 0 && s.events == events, "a refused evaluation returned a value or raised an event");
    Check(s.calc.ErrorCode() == code && s.calc.ErrorDescription() == description,
          "a refused evaluation changed the error state");
  }
  Check(!s.calc.Strict() || s.calc.ErrorCode() == 0 || value == 0, "strict: a value with a recorded failure");
  int32_t highest = std::max(NumExpressions(s.calc) - 1, 0);
  Check(!withIndex || asked >= 0 || index == highest, "a negative index was not replaced");
}

void ReadAll(qvCalc& calc) {
  Check(calc.All_Math_Functions().isEmpty(), "All_Math_Functions is not empty");
  int16_t funcs = Count(calc.NumUserFuncs(), Variant::Kind::Int16, "NumUserFuncs is not a 16-bit whole number");
  Check(funcs >= 0 && funcs <= 20, "NumUserFuncs out of 0 to 20");
  Count(calc.NumVariables(), Variant::Kind::Int32, "NumVariables is not a 32-bit whole number");
  Check(calc.ErrorCode() == 0 || !calc.ErrorDescription().empty(), "an error code without a description");
  calc.ErrorSource();
  calc.ErrorPos();
}

void CheckCleared(qvCalc& calc) {
  Check(calc.ErrorCode() == 0 && calc.ErrorDescription().empty() && calc.ErrorPos() == 0 &&
            calc.ErrorSource() == 0,
        "ClearError left an error state");
}

void CheckReset(qvCalc& calc) {
  CheckCleared(calc);
  Check(NumExpressions(calc) == 0 && calc.NumVariables().asWhole() == 0 && calc.NumUserFuncs().asWhole() == 0,
        "Reset left expressions, variables or user functions");
}

void Connect(Session& s, bool on) {
  if (on && s.reentrantCookie == 0) {
    qvCalc* calc = &s.calc;
    s.reentrantCookie = calc->Advise([calc](std::u16string&, std::u16string&) { calc->ClearError(); });
  } else if (!on && s.reentrantCookie != 0) {
    s.calc.Unadvise(s.reentrantCookie);
    s.reentrantCookie = 0;
  }
}

void Step(Session& s, std::string_view line) {
  std::string_view arg = fuzz::Argument(line);
  std::u16string text = fuzz::DecodeText(arg);
  Variant value = fuzz::DecodeVariant(arg);
  qvCalc& calc = s.calc;
  switch (line.empty() ? '\0' : line[0]) {
    case 'C': Compile(calc, text); break;
    case 'V': Value(s, false, 0); break;
    case 'v': Value(s, true, fuzz::DecodeInt(arg)); break;
    case 'P': {
      std::u16string name;
      double x = 0;
      fuzz::SplitAssignment(arg, name, x);
      try { calc.Variable(name, x); } catch (const qvRuntimeError&) {}  // no handler, by design
      break;
    }
    case 'G': try { calc.Variable(text); } catch (const qvRuntimeError&) {} break;
    case 'D': calc.DefineUserFunc(text); break;
    case 'U': calc.UserFunc(value); break;
    case 'X': Check(calc.Expression(value).isText(), "Expression did not give a text"); break;
    case 'N': calc.VariableName(value); break;
    case 'R': calc.Reset(); CheckReset(calc); break;
    case 'E': calc.ClearError(); CheckCleared(calc); break;
    case 'r': ReadAll(calc); break;
    case 'Z': calc.SetSize(fuzz::DecodeInt(arg), fuzz::DecodeInt(arg.substr(arg.find(',') + 1))); break;
    case 's': calc.SeedRandom(static_cast<uint64_t>(fuzz::DecodeInt(arg))); break;
    case 'A': Connect(s, true); break;
    case 'a': Connect(s, false); break;
    default: break;
  }
  Check(calc.Width() == 600 && calc.Height() == 330, "the control did not keep its size");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session session(size % 2 == 1);  // half the inputs under the strict profile
  for (std::string_view line : fuzz::SplitLines(data, size, 64)) Step(session, line);
  ReadAll(session.calc);
  return 0;
}
