// pst-ansi | pst-unicode BOOK.wab OUTDIR: the Outlook export of the
// conversion dialog, as if its ANSI or Unicode option were chosen.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Verbs.h"
#include "platform/os/Os.h"
#include "export/OutlookExport.h"
#include "export/PathNames.h"

namespace cli {

namespace {

// A percentage on standard error, rewritten in place; only for a terminal.
class TerminalProgress final : public exports::ExportProgress {
 public:
  void Prepare(std::int32_t, std::int32_t count, std::int32_t, double) override {
    count_ = count;
    Show(0);
  }
  void SetPosition(std::int32_t position) override {
    const int percent = count_ > 0 ? static_cast<int>(std::int64_t{position} * 100 / count_) : 100;
    if (percent != shown_) Show(percent);
    if (position == count_) std::fputc('\n', stderr);
  }

 private:
  void Show(int percent) {
    shown_ = percent;
    std::fprintf(stderr, "\rSaving contacts to Outlook: %3d%%", percent);
    std::fflush(stderr);
  }
  std::int32_t count_ = 0;
  int shown_ = -1;
};

}  // namespace

int RunPstExport(const std::string& verb, const std::vector<std::string>& rawArgs) {
  ExportArguments args;
  if ((verb != "pst-ansi" && verb != "pst-unicode") || !ParseExportArguments(rawArgs, args)) {
    std::fprintf(stderr, "addrivo-convert: %s takes BOOK.wab and OUTDIR (a folder name)\n\n%s", verb.c_str(),
                 UsageText());
    return 2;
  }
  if (!IsFolder(args.folder)) {
    std::fprintf(stderr, "addrivo-convert: %s is not a folder\n", args.folder.c_str());
    return 1;
  }

  TerminalProgress progress;
  exports::OutlookExportRequest request;
  request.bookPath = args.book;
  request.outputFolder = exports::WithTrailingSeparator(args.folder);
  request.format = verb == "pst-ansi" ? exports::OutlookFormat::Ansi : exports::OutlookFormat::Unicode;
  if (os::StderrIsTerminal()) request.progress = &progress;

  // Each export makes a new file of its own: --force has nothing to replace.
  const exports::OutlookExportResult result = exports::RunOutlookExport(request);
  if (!result.completed) {
    std::fprintf(stderr, "addrivo-convert: %s\n", WithNewlines(result.message).c_str());
    return 1;
  }
  return ReportCompletion(WithNewlines(result.message), result.loss);
}

}  // namespace cli
