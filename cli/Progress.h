// A progress bar on one line of a terminal's standard error, for long runs of --csv: a stage, a
// bar and a percentage, redrawn only when the percentage changes, and erased when done.
#pragma once

#include <ostream>
#include <string_view>

class Progress {
 public:
  Progress(std::ostream& err, bool shown) : err_(err), shown_(shown) {}
  ~Progress() { Done(); }
  void Show(std::string_view stage, double fraction);
  void Done();  // erases the bar, so that later messages start on a clean line

 private:
  std::ostream& err_;
  bool shown_;
  bool drawn_ = false;
  int percent_ = -1;
  std::string_view stage_;
};
