// pst-ansi | pst-unicode BOOK.wab OUTDIR: the Outlook export of the
// conversion dialog, as if its ANSI or Unicode option were chosen.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "TerminalProgress.h"
#include "Verbs.h"
#include "platform/os/Os.h"
#include "export/OutlookExport.h"
#include "export/PathNames.h"

namespace cli {

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

  TerminalProgress progress("Saving contacts to Outlook");
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
