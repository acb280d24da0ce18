// Progress that cuts the book being exported to a quarter of its size once
// the first contact is done, as a book cut short under the program would be.
#pragma once

#include <cstdint>
#include <filesystem>
#include <utility>

#include "export/ExportProgress.h"

namespace testsupport {

class CutShortAtFirst : public exports::ExportProgress {
 public:
  explicit CutShortAtFirst(std::filesystem::path book) : book_(std::move(book)) {}
  void Prepare(std::int32_t, std::int32_t, std::int32_t, double) override {}
  void SetPosition(std::int32_t position) override {
    if (position == 1) std::filesystem::resize_file(book_, std::filesystem::file_size(book_) / 4);
  }

 private:
  std::filesystem::path book_;
};

}  // namespace testsupport
