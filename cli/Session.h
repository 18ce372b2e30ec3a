// A calculator session: one engine, and what a line of input means to it. A line is an expression to evaluate, a ':' command, a comment or
// blank. Results go to out, errors to err.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Hints.h"
#include "engine/qvExpression.h"

class CsvTable;

struct SessionSettings {
  bool showRpn = false;  // print the postfix listing before each result
  bool lenient = false;  // the engine's compatible rules: failing steps pass, new names read 0
  bool colour = false;   // colour the error messages
  bool extended = true;  // the extended functions (qvAddExtendedFunctions)
};

class Session {
 public:
  Session(std::ostream& out, std::ostream& err, const SessionSettings& settings);

  // A ':' command: its word, what it does with the rest of the line, and its help.
  struct Command {
    std::string_view word;
    bool (Session::*run)(std::string_view rest);
    std::string_view usage;  // the arguments, for :help
    std::string_view help;   // one line
  };
  static std::span<const Command> Commands();

  // Each returns false when what it was given failed (and says why on err).
  bool HandleLine(std::string_view line);
  bool Evaluate(std::string_view expression);
  bool Let(std::string_view assignment);
  bool Define(std::string_view definition);
  bool Load(std::string_view path);
  // Evaluates each expression over the rows of the CSV file (its named columns are the
  // variables), block by block, and writes the table with one column added per expression to
  // out, the failed rows summed up by code to err; false when anything failed. A file that is
  // not CSV leaves its reason in readError. progress is told the bytes read so far.
  bool EvaluateTable(std::FILE* file, const std::vector<std::string>& expressions, unsigned threads,
                     const std::function<void(size_t)>& progress, std::string& readError);
  void Seed(uint64_t seed) { engine_.SeedRandom(seed); }

  bool QuitAsked() const { return quit_; }
  // Messages name where the line came from ("line 3: ", "defs.txt:4: "); empty for none.
  void SetWhere(std::string where) { where_ = std::move(where); }
  // Whether anything was written to out since the last call (pipe mode keeps one output line
  // for each input line).
  bool TakePrinted();
  // The names a line may use: variables, arrays and the user's functions.
  KnownNames Names();

 private:
  // ---- commands (cli/Commands.cpp) ----
  bool RunCommand(std::string_view line);
  bool ListVariables(std::string_view);
  bool ListFunctions(std::string_view);
  bool ListExpressions(std::string_view);
  bool ShowListing(std::string_view expression);
  bool Reset(std::string_view);
  bool Help(std::string_view name);
  bool ShowOperator(std::string_view name);
  bool Quit(std::string_view);

  // ---- evaluation (cli/Session.cpp) ----
  // The command a word of other programs (exit, quit, help, ?) stands for; empty for any other
  // text, and for such a word that names a variable.
  std::string_view PromptWordCommand(std::string_view text);
  // Compiles and evaluates (printing the listing when asked); false after reporting a failure.
  bool Compute(std::string_view expression, Variant& result, bool listing);
  bool CompileOnly(std::u16string& text, int16_t& index);
  bool PrintListing();
  // Reports the engine's error (with the text it was found in, if any) and clears it.
  void ReportEngineError(std::u16string_view text);
  // Reports an error, with the nearest of names as a hint, or else with note (when not empty).
  void Report(int32_t code, const std::u16string& description, std::u16string_view text,
              int32_t position, const KnownNames& names, std::string_view note = {});
  void Problem(std::string_view message);  // a message of the calculator itself
  std::ostream& Out();

  // ---- functions (cli/Functions.cpp) ----
  bool Undefine(std::string_view name);
  std::vector<std::u16string> Definitions();   // the engine's, in slot order
  int FunctionIndex(std::u16string_view name);  // in Definitions(), or -1

  // ---- arrays (cli/Arrays.cpp) ----
  bool DefineArray(std::string_view definition);
  bool SetElement(std::string_view name, std::string_view subscripts, std::string_view expression);

  // ---- tables (cli/Csv.cpp) ----
  struct AddedColumn;
  struct TableRun;
  struct BlockCells;
  void StartTable(TableRun& run, const CsvTable& header);
  std::vector<std::shared_ptr<qvVariable>> ColumnVariables(const CsvTable& table);
  void EvaluateBlock(TableRun& run, AddedColumn& added, const CsvTable& block, BlockCells& cells);
  Variant EvaluateRow(TableRun& run, AddedColumn& added, const CsvTable& block, size_t row,
                      std::string* why = nullptr);
  static std::vector<std::shared_ptr<qvVariable>> ReadVariables(const TableRun& run, const AddedColumn& added);
  void NoteFailures(TableRun& run, AddedColumn& added, const CsvTable& block);
  void WriteRows(const TableRun& run, const CsvTable& block, size_t first, size_t last);
  bool SummariseFailures(const AddedColumn& added, size_t rows);

  // ---- files (cli/Load.cpp) ----
  bool LoadLine(std::string_view line);

  qvExpression engine_;
  std::ostream& out_;
  std::ostream& err_;
  SessionSettings settings_;
  std::string where_;
  bool printed_ = false;
  bool quit_ = false;
  int loadDepth_ = 0;
};
