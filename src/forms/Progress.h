// The progress protocol, once for the scan and every export: prepare a bar
// for N contacts (bounds 0 and N, N / 100 rounded half to even, N / 100),
// then after each contact show the position 1, 2, ..., N. BarProgress drives
// a designed progress bar of a view by it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "View.h"
#include "export/ExportProgress.h"
#include "scan/ScanBook.h"

namespace forms {

// The bar's set-up for count contacts, as the protocol states it.
ProgressSetup SetupFor(std::int32_t count);

class BarProgress final : public scan::ScanProgress, public exports::ExportProgress {
 public:
  BarProgress(View& view, std::string_view bar) : view_(view), bar_(bar) {}

  // The scan's side.
  void Prepare(std::int32_t count) override;
  void SetPosition(std::int64_t position) override;
  // The exports' side.
  void Prepare(std::int32_t lower, std::int32_t upper, std::int32_t wholeStep, double step) override;
  void SetPosition(std::int32_t position) override { SetPosition(static_cast<std::int64_t>(position)); }

  // What the bar was last set to, so a failed pass can put it back.
  const ProgressSetup& Setup() const { return setup_; }
  std::int64_t Position() const { return position_; }
  void Restore(const ProgressSetup& setup, std::int64_t position);

 private:
  void Apply(const ProgressSetup& setup);

  View& view_;
  std::string bar_;
  ProgressSetup setup_{0, 100, 0, 0.0};
  std::int64_t position_ = 0;
};

}  // namespace forms
