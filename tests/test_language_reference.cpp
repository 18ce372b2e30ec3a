// docs/language.md, the reference for formula writers, against the engine's opcode table: every
// operator has its row with the table's priority, every built-in function its row with the
// table's number of arguments, and the page names nothing the engine does not have. A function
// added to the table without its documentation fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "engine/Utf8.h"
#include "engine/qvExpression.h"

namespace {

constexpr uint8_t kFunctionPriority = 30;
constexpr uint8_t kBarrier = 255;

std::string Page() {
  const auto path = std::filesystem::path(__FILE__).parent_path().parent_path() / "docs" / "language.md";
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The rows of the page's table under heading: the first cell's text in backticks, and the
// second cell.
std::vector<std::pair<std::string, std::string>> TableRows(const std::string& page, const std::string& heading) {
  std::vector<std::pair<std::string, std::string>> rows;
  std::istringstream lines(page.substr(page.find("\n## " + heading + "\n") + 1));
  std::string line;
  std::getline(lines, line);  // the heading itself
  while (std::getline(lines, line) && !line.starts_with("## ")) {
    if (!line.starts_with("| `")) continue;
    const size_t close = line.find('`', 3);
    const size_t second = line.find("| ", close) + 2;
    rows.emplace_back(line.substr(3, close - 3), line.substr(second, line.find(" |", second) - second));
  }
  return rows;
}

// The engine's operators (name and priority) and functions (name and arguments), read from the
// table through the engine; user-function slots, markers and brackets left out.
struct Language {
  std::set<std::pair<std::string, int>> operators;
  std::map<std::string, int> functions;
};

Language EnginesLanguage() {
  qvExpression engine;
  Language language;
  for (int op = 0; op < 256; ++op) {
    const std::string name = ToUtf8(engine.OpcodeName(int16_t(op)));
    const int priority = engine.OpcodePriority(int16_t(op)), args = engine.OpcodeArgs(int16_t(op));
    if (name.empty() || name[0] == '\0' || args < 0 || priority == kBarrier || name.starts_with("USER")) continue;
    if (priority == kFunctionPriority || priority == 0) language.functions[name] = args;
    else language.operators.insert({name, priority});
  }
  return language;
}

}  // namespace

TEST(LanguageReference, HasEveryOperatorAndFunctionOfTheTableAndNothingElse) {
  const std::string page = Page();
  ASSERT_FALSE(page.empty()) << "docs/language.md not found";
  const Language language = EnginesLanguage();
  ASSERT_GE(language.functions.size(), 38u);
  ASSERT_GE(language.operators.size(), 19u);

  std::set<std::pair<std::string, int>> documented;
  for (const auto& [name, priority] : TableRows(page, "Operators")) documented.insert({name, std::stoi(priority)});
  EXPECT_EQ(documented, language.operators);

  std::map<std::string, int> calls;
  for (const auto& [call, arguments] : TableRows(page, "Built-in functions")) {
    const size_t open = call.find('(');
    calls[call.substr(0, open)] = open == std::string::npos ? 0 : int(std::count(call.begin(), call.end(), ',')) + 1;
  }
  EXPECT_EQ(calls, language.functions);
}

TEST(LanguageReference, HasTheSectionsAFormulaWriterNeeds) {
  const std::string page = Page();
  for (const char* heading : {"What a formula holds", "Kinds of values and their conversions", "Operators",
                              "Built-in functions", "Limits", "Error codes", "Behaviours that surprise"})
    EXPECT_NE(page.find(std::string("\n## ") + heading + "\n"), std::string::npos) << heading;
  for (int code = 1; code <= 13; ++code)
    EXPECT_NE(page.find("\n| " + std::to_string(code) + " | "), std::string::npos) << "error code " << code;
}

// The extended functions' table: each call, with the page's number of arguments, compiles on an
// engine that has them and on no other.
TEST(LanguageReference, ExtendedFunctionsAreTheOnesQvAddExtendedFunctionsAdds) {
  const auto rows = TableRows(Page(), "Extended functions");
  ASSERT_EQ(rows.size(), 7u);
  qvExpression extended, plain;
  qvAddExtendedFunctions(extended);
  plain.SetCreateVariables(false);
  for (const auto& [call, result] : rows) {
    const size_t open = call.find('(');
    std::string text = call.substr(0, open);
    if (open != std::string::npos) {
      text += "(1";
      for (char c : call) text += c == ',' ? ", 1" : "";
      text += ")";
    }
    extended.Compile(std::string_view(text));
    EXPECT_EQ(extended.ErrorCode(), 0) << text << ": " << ToUtf8(extended.ErrorDescription());
    plain.Compile(std::string_view(text));
    EXPECT_NE(plain.ErrorCode(), 0) << text;
    extended.ClearError();
    plain.ClearError();
  }
}
