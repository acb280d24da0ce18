// pst-ansi | pst-unicode BOOK.wab OUTDIR: the Outlook export of the
// conversion dialog, as if its ANSI or Unicode option were chosen.

#include <atomic>
#include <csignal>
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
namespace {

// Ctrl-C or a termination request stops the export between two contacts, so
// that it can take back the store it was writing; a second one ends the
// process at once.
std::atomic<bool> g_stop{false};
volatile std::sig_atomic_t g_signal = 0;
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) {
  g_signal = signal;
  g_stop.store(true);
  std::signal(signal, SIG_DFL);
}

}  // namespace

int RunPstExport(const std::string& verb, const std::vector<std::string>& rawArgs) {
  ExportArguments args;
  if ((verb != "pst-ansi" && verb != "pst-unicode") || !ParseExportArguments(rawArgs, args)) {
    std::fprintf(stderr, "addrivo-convert: %s takes BOOK.wab and OUTDIR (a folder name)\n\n%s", verb.c_str(),
                 UsageText());
    return 2;
  }
  if (const std::string problem = FolderProblem(args.folder); !problem.empty()) {
    std::fprintf(stderr, "addrivo-convert: %s\n", problem.c_str());
    return 1;
  }

  TerminalProgress progress("Saving contacts to Outlook");
  exports::OutlookExportRequest request;
  request.bookPath = args.book;
  request.outputFolder = exports::WithTrailingSeparator(args.folder);
  request.format = verb == "pst-ansi" ? exports::OutlookFormat::Ansi : exports::OutlookFormat::Unicode;
  if (os::StderrIsTerminal()) request.progress = &progress;
  request.stop = &g_stop;
  request.codePage = args.codePage;
  // A signal ignored from the start (SIGINT of a background job) stays so.
  for (const int signal : {SIGINT, SIGTERM})
    if (std::signal(signal, OnStopSignal) == SIG_IGN) std::signal(signal, SIG_IGN);

  // Each export makes a new file of its own: --force has nothing to replace.
  const exports::OutlookExportResult result = exports::RunOutlookExport(request);
  if (result.stopped) {
    std::fprintf(stderr, "\naddrivo-convert: %s\n", WithNewlines(result.message).c_str());
    std::fflush(stderr);
    // Ended by the signal, as the caller asked: its status says so.
    std::raise(static_cast<int>(g_signal));
    return 128 + static_cast<int>(g_signal);
  }
  if (!result.completed) {
    std::fprintf(stderr, "addrivo-convert: %s\n", WithNewlines(result.message).c_str());
    return 1;
  }
  return ReportCompletion(WithNewlines(result.message), result.loss);
}

}  // namespace cli
