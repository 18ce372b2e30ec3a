#include "cli/Progress.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kWidth = 40;

}  // namespace

void Progress::Show(std::string_view stage, double fraction) {
  if (!shown_) return;
  const int percent = int(std::clamp(fraction, 0.0, 1.0) * 100);
  if (percent == percent_ && stage == stage_) return;
  percent_ = percent;
  stage_ = stage;
  const int filled = percent * kWidth / 100;
  err_ << "\r\033[K" << stage << " [" << std::string(size_t(filled), '#')
       << std::string(size_t(kWidth - filled), ' ') << "] " << percent << '%' << std::flush;
  drawn_ = true;
}

void Progress::Done() {
  if (drawn_) err_ << "\r\033[K" << std::flush;
  drawn_ = false;
  percent_ = -1;
}
