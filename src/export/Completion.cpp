#include "Completion.h"

#include "platform/codepage/AnsiEncoder.h"
#include "platform/os/Os.h"

namespace exports {

std::string ReplaceQuestion(const std::string& path) { return path + " already exists. Replace it?"; }

OutputCheck CheckOutput(const std::string& path, const ReplaceConsent& consent) {
  if (!os::Exists(path)) return OutputCheck::Write;
  return consent && consent(path) ? OutputCheck::Replace : OutputCheck::Declined;
}

std::string WithThousands(std::int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n), out = n < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::vector<std::string> LossReport::Lines() const {
  std::vector<std::string> lines;
  if (lostCharacterValues > 0)
    lines.push_back(WithThousands(lostCharacterValues) + (lostCharacterValues == 1 ? " value had" : " values had") +
                    " characters that code page " + std::to_string(codePage) +
                    " cannot hold; they were written as \"?\". The Unicode formats keep every character.");
  if (shortenedValues > 0) {
    const bool one = shortenedValues == 1;
    lines.push_back(WithThousands(shortenedValues) + (one ? " value was" : " values were") +
                    " longer than a cell holds (" + std::to_string(shortenLimitBytes) + " bytes) and " +
                    (one ? "was" : "were") + " shortened.");
  }
  if (skippedRecords > 0)
    lines.push_back(WithThousands(skippedRecords) + (skippedRecords == 1 ? " damaged record" : " damaged records") +
                    " of the address book " + (skippedRecords == 1 ? "was" : "were") + " skipped.");
  return lines;
}

void LossReport::AppendTo(std::string& message) const {
  for (const auto& line : Lines()) message += "\r\n" + line;
}

LostCharacters::LostCharacters(int codePage) : encoder_(std::make_unique<codepage::AnsiEncoder>(codePage)) {}
LostCharacters::~LostCharacters() = default;
LostCharacters::LostCharacters(LostCharacters&&) noexcept = default;

void LostCharacters::Check(std::string_view utf8, LossReport& report) const {
  if (encoder_->Loses(utf8)) ++report.lostCharacterValues;
}

}  // namespace exports
