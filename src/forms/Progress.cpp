#include "Progress.h"

#include "platform/os/HalfEven.h"

namespace forms {

ProgressSetup SetupFor(std::int32_t count) {
  return ProgressSetup{0, count, os::HundredthRoundedHalfEven(count), count / 100.0};
}

void BarProgress::Apply(const ProgressSetup& setup) {
  setup_ = setup;
  view_.PrepareProgress(bar_, setup);
}

void BarProgress::Prepare(std::int32_t count) { Apply(SetupFor(count)); }

void BarProgress::Prepare(std::int32_t lower, std::int32_t upper, std::int32_t wholeStep, double step) {
  Apply(ProgressSetup{lower, upper, wholeStep, step});
}

void BarProgress::SetPosition(std::int64_t position) {
  position_ = position;
  view_.SetProgress(bar_, position);
}

void BarProgress::Restore(const ProgressSetup& setup, std::int64_t position) {
  Apply(setup);
  SetPosition(position);
}

}  // namespace forms
