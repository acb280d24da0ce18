// vcard | csv-outlook | csv-google | xlsx [OPTIONS] BOOK.wab OUTDIR: the
// exports of the whole book, as the conversion dialog runs them.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "TerminalProgress.h"
#include "Verbs.h"
#include "platform/os/Os.h"
#include "export/ExportDispatch.h"

namespace cli {
namespace {


int Usage(const std::string& verb, const std::string& why) {
  std::fprintf(stderr, "addrivo-convert: %s: %s\n\n%s", verb.c_str(), why.c_str(), UsageText());
  return 2;
}

}  // namespace

bool IsBookVerb(const std::string& verb) {
  const exports::ExportFormatInfo* info = exports::FormatOfVerb(verb);
  return info && exports::IsBookFormat(info->format);
}

int RunBookExport(const std::string& verb, const std::vector<std::string>& args) {
  exports::ExportRequest request;
  request.format = exports::FormatOfVerb(verb)->format;
  bool force = false;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--force") {
      force = true;
    } else if (a == "--codepage") {
      std::string why;
      if (i + 1 == args.size()) return Usage(verb, "--codepage needs a code page number");
      if (!ParseCodePage(args[++i], request.codePage, why)) return Usage(verb, why);
    } else if (verb == "vcard" && a == "--no-fold") {
      request.vcard.fold = false;
    } else if (verb == "vcard" && (a == "--version" || a.rfind("--version=", 0) == 0)) {
      std::string v;
      if (a == "--version") {
        if (i + 1 == args.size()) return Usage(verb, "--version needs 3.0 or 4.0");
        v = args[++i];
      } else {
        v = a.substr(10);
      }
      if (v == "3.0")
        request.vcard.version = exports::VCardVersion::V3;
      else if (v == "4.0")
        request.vcard.version = exports::VCardVersion::V4;
      else
        return Usage(verb, "--version takes 3.0 or 4.0, not \"" + v + "\"");
    } else if (a.size() > 1 && a[0] == '-' && a.rfind("--", 0) == 0) {
      return Usage(verb, "unknown option " + a);
    } else {
      paths.push_back(a);
    }
  }
  // An empty folder would put the file at the top of the file system.
  if (paths.size() != 2 || paths[0].empty() || paths[1].empty()) return Usage(verb, "needs BOOK.wab and OUTDIR");
  if (const std::string problem = FolderProblem(paths[1]); !problem.empty()) {
    std::fprintf(stderr, "addrivo-convert: %s\n", problem.c_str());
    return 1;
  }
  request.bookPath = paths[0];
  request.folder = paths[1];
  // Without --force an existing file is never replaced.
  request.replace = ForceConsent(force);
  TerminalProgress progress("Exporting");
  if (os::StderrIsTerminal()) request.progress = &progress;
  request.keepBookUntilExit = true;  // the process ends right after

  const exports::ExportOutcome result = exports::RunExport(request);
  if (!result.written()) {
    std::string message = WithNewlines(result.message);
    if (result.status == exports::ExportOutcome::Status::Declined) message += " (--force replaces it)";
    std::fprintf(stderr, "addrivo-convert: %s\n", message.c_str());
    return 1;
  }
  return ReportCompletion(WithNewlines(result.message), result.loss);
}

}  // namespace cli
