// The progress every export verb shows on standard error when it is a
// terminal: one line, rewritten as the percentage moves.
#pragma once

#include <cstdint>
#include <cstdio>

#include "export/ExportProgress.h"

namespace cli {

class TerminalProgress final : public exports::ExportProgress {
 public:
  explicit TerminalProgress(const char* label) : label_(label) {}

  void Prepare(std::int32_t lower, std::int32_t upper, std::int32_t, double) override {
    lower_ = lower;
    upper_ = upper;
    shown_ = -1;
  }
  void SetPosition(std::int32_t position) override {
    const std::int64_t span = std::int64_t{upper_} - lower_;
    const int percent = span > 0 ? static_cast<int>(100 * (std::int64_t{position} - lower_) / span) : 100;
    if (percent == shown_) return;
    shown_ = percent;
    std::fprintf(stderr, "\r%s: %d of %d (%d%%)", label_, position, upper_, percent);
    if (position >= upper_) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

 private:
  const char* label_;
  std::int32_t lower_ = 0, upper_ = 0;
  int shown_ = -1;
};

}  // namespace cli
