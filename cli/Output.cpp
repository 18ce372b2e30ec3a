#include "cli/Output.h"

#include "cli/SafeText.h"
#include "engine/Utf8.h"

namespace {

constexpr std::string_view kRed = "\033[1;31m";
constexpr std::string_view kPlain = "\033[0m";

// Descriptions of caught failures hold CR LF between their two parts; each part is shown safe.
std::string Lines(std::u16string_view text) {
  const std::string utf8 = ToUtf8(text);
  std::string out;
  for (size_t from = 0;;) {
    const size_t at = utf8.find("\r\n", from);
    out += Escaped(std::string_view(utf8).substr(from, at - from));
    if (at == std::string::npos) return out;
    out += "\n  ";
    from = at + 2;
  }
}

std::string Marked(std::string_view word, bool colour) {
  return colour ? std::string(kRed).append(word).append(kPlain) : std::string(word);
}

}  // namespace

void PrintError(std::ostream& err, const ErrorReport& report, bool colour) {
  err << "qvcalc: " << Escaped(report.where) << Marked("error " + std::to_string(report.code), colour) << ": "
      << Lines(report.description);
  if (!report.hint.empty()) err << " (" << Escaped(report.hint) << ")";
  err << '\n';
  if (report.position <= 0 || report.text.empty()) return;
  const ShownLine line = ShowAround(report.text, report.position);
  err << "  " << line.text << '\n' << "  " << std::string(line.column, ' ') << "^\n";
}

void PrintProblem(std::ostream& err, std::string_view where, std::string_view message) {
  err << "qvcalc: " << Escaped(where) << Escaped(message) << '\n';
}
