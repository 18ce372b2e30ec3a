// The calculator's tables of built-in functions and operators against the engine: one row for every function
// name the engine reserves (the placeholders of user functions and the operator NOT aside), each
// with the engine's number of arguments in its call form, and no row the engine does not know.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "cli/FunctionHelp.h"
#include "cli/Names.h"
#include "engine/Utf8.h"
#include "engine/qvExpression.h"

namespace {

// The arguments a call form such as MID(s, start, length) shows.
int16_t ArgumentsShown(std::string_view usage) {
  if (usage.find('(') == std::string_view::npos) return 0;
  return int16_t(std::count(usage.begin(), usage.end(), ',') + 1);
}

}  // namespace

TEST(FunctionHelp, CoversExactlyTheEnginesFunctions) {
  qvExpression engine;
  std::set<std::string> reserved;
  for (int op = 0; op < 256; ++op) {
    const std::u16string name = engine.OpcodeName(int16_t(op));
    if (name.empty() || name == u"NOT" || name.starts_with(u"USER")) continue;
    if (!engine.ReservedName(name, u"")) continue;
    reserved.insert(ToUtf8(name));
    const FunctionHelp* row = FindBuiltin(ToUtf8(name));
    ASSERT_NE(row, nullptr) << ToUtf8(name) << " has no help";
    EXPECT_EQ(ArgumentsShown(row->usage), engine.OpcodeArgs(int16_t(op))) << row->usage;
    EXPECT_FALSE(row->help.empty());
  }
  for (const FunctionHelp& row : BuiltinFunctions()) {
    EXPECT_TRUE(reserved.count(std::string(row.name))) << row.name << " is not an engine function";
    for (std::string_view alias : Words(row.aliases)) {
      EXPECT_EQ(FindBuiltin(alias), nullptr) << alias << " is a built-in itself";
      EXPECT_EQ(FindAlias(alias), &row) << alias << " stands for two functions";
    }
  }
  EXPECT_EQ(FindBuiltin("sqr"), FindAlias("SQRT"));
}

// Every operator of the engine (a named opcode that is neither a function nor a marker) has its
// line in :help, its call form showing its name.
TEST(FunctionHelp, CoversEveryOperator) {
  qvExpression engine;
  size_t operators = 0;
  for (int op = 0; op < 256; ++op) {
    const std::string name = ToUtf8(engine.OpcodeName(int16_t(op)));
    const int priority = engine.OpcodePriority(int16_t(op));
    if (name.empty() || name[0] == '\0' || engine.OpcodeArgs(int16_t(op)) != 0 || priority == 0 || priority >= 30) continue;
    ++operators;
    const auto rows = Operators();
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const FunctionHelp& row) {
      return row.name == name && row.usage.find(name) != std::string_view::npos && !row.help.empty();
    })) << name << " has no help";
  }
  EXPECT_EQ(Operators().size(), operators);
  EXPECT_EQ(operators, 19u);  // "-" twice, as negation and as subtraction
}
