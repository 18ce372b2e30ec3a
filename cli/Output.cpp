#include "cli/Output.h"

#include "engine/Utf8.h"

namespace {

constexpr std::string_view kRed = "\033[1;31m";
constexpr std::string_view kPlain = "\033[0m";

// The column of a 1-based position: the characters before it, counting a surrogate pair once.
size_t Column(std::u16string_view text, int32_t position) {
  size_t column = 0;
  for (size_t i = 0; i + 1 < size_t(position) && i < text.size(); ++i)
    if (text[i] < 0xDC00 || text[i] > 0xDFFF) ++column;
  if (size_t(position) > text.size() + 1) column += size_t(position) - text.size() - 1;
  return column;
}

// Descriptions of caught failures hold CR LF between their two parts.
std::string Lines(std::u16string_view text) {
  std::string out = ToUtf8(text);
  for (size_t at; (at = out.find("\r\n")) != std::string::npos;) out.replace(at, 2, "\n  ");
  return out;
}

// Tabs are shown as blanks so that the caret stays under its character.
std::string Shown(std::u16string_view text) {
  std::string out = ToUtf8(text);
  for (char& c : out)
    if (c == '\t') c = ' ';
  return out;
}

std::string Marked(std::string_view word, bool colour) {
  return colour ? std::string(kRed).append(word).append(kPlain) : std::string(word);
}

}  // namespace

void PrintError(std::ostream& err, const ErrorReport& report, bool colour) {
  err << "qvcalc: " << report.where << Marked("error " + std::to_string(report.code), colour) << ": "
      << Lines(report.description);
  if (!report.hint.empty()) err << " (" << report.hint << ")";
  err << '\n';
  if (report.position <= 0 || report.text.empty()) return;
  err << "  " << Shown(report.text) << '\n'
      << "  " << std::string(Column(report.text, report.position), ' ') << "^\n";
}

void PrintProblem(std::ostream& err, std::string_view where, std::string_view message) {
  err << "qvcalc: " << where << message << '\n';
}
