// xls | pst-ansi | pst-unicode BOOK.wab OUTDIR: the dialog's exports without
// the dialog, through the very same export functions.
#include <cstdio>
#include <string>

#include "Verbs.h"
#include "platform/os/Os.h"
#include "export/PathNames.h"
#include "export/SpreadsheetExport.h"

namespace cli {
namespace {

// The export's texts separate lines with CR LF; a terminal wants LF.
std::string WithNewlines(std::string text) {
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 1))
    text.erase(at, 1);
  return text;
}

// One line on standard error, rewritten as the percentage moves.
class TerminalProgress : public exports::ExportProgress {
 public:
  void Prepare(std::int32_t lower, std::int32_t upper, std::int32_t, double) override {
    lower_ = lower;
    upper_ = upper;
    percent_ = -1;
  }
  void SetPosition(std::int32_t position) override {
    const int span = upper_ - lower_;
    const int percent = span > 0 ? static_cast<int>(100LL * (position - lower_) / span) : 100;
    if (percent == percent_) return;
    percent_ = percent;
    std::fprintf(stderr, "\rExporting contacts: %d of %d (%d%%)", position, upper_, percent);
    if (position >= upper_) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

 private:
  std::int32_t lower_ = 0, upper_ = 0;
  int percent_ = -1;
};

int RunXls(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "addrivo-convert: xls needs BOOK.wab and OUTDIR\n\n%s", UsageText());
    return 2;
  }
  TerminalProgress terminal;
  exports::ExportProgress* progress = os::StderrIsTerminal() ? &terminal : nullptr;
  const auto result =
      exports::ExportToSpreadsheet(args[0], exports::WithTrailingSeparator(args[1]), progress);
  if (!result.completed) {
    std::fprintf(stderr, "addrivo-convert: %s\n", WithNewlines(result.message).c_str());
    return 1;
  }
  std::printf("%s\n", WithNewlines(result.message).c_str());
  return 0;
}

}  // namespace

int RunExport(const std::string& verb, const std::vector<std::string>& args) {
  if (verb == "xls") return RunXls(args);
  std::fprintf(stderr, "addrivo-convert: %s is not available in this build\n", verb.c_str());
  return 1;
}

}  // namespace cli
