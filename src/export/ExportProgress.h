// How an export reports progress to whoever shows it (a progress bar in the
// dialog, a line on a terminal for the command-line tool).
#pragma once

#include <cstdint>

namespace exports {

class ExportProgress {
 public:
  virtual ~ExportProgress() = default;
  // Before the first contact of N: the bounds 0 and N, N / 100 rounded to a
  // whole number (half to even) and N / 100 itself, for bars that step.
  virtual void Prepare(std::int32_t lower, std::int32_t upper, std::int32_t wholeStep,
                       double step) = 0;
  // After each contact: 1 after the first, N after the last.
  virtual void SetPosition(std::int32_t position) = 0;
};

// Prepares progress for n contacts and counts them off. The count is 32-bit,
// so books of any size the sheet takes never overflow it.
class ContactProgress {
 public:
  explicit ContactProgress(ExportProgress* progress) : progress_(progress) {}
  void Prepare(std::int32_t n);
  // After each contact: show the position, then move on.
  void Advance();
  std::int32_t value() const { return value_; }

 private:
  ExportProgress* progress_;
  std::int32_t value_ = 1;
};

}  // namespace exports
