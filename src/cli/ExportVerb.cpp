// xls | pst-ansi | pst-unicode BOOK.wab OUTDIR: the dialog's exports without
// the dialog, through the very same export functions.
#include <cerrno>
#include <charconv>
#include <cstring>
#include <cstdio>
#include <string>

#include "TerminalProgress.h"
#include "Verbs.h"
#include "platform/os/Os.h"
#include "export/PathNames.h"
#include "export/SpreadsheetExport.h"
#include "platform/codepage/CodePage.h"

namespace cli {

std::string WithNewlines(std::string text) {
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 1))
    text.erase(at, 1);
  return text;
}

bool ParseCodePage(const std::string& v, int& codePage, std::string& why) {
  int cp = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), cp);
  if (ec != std::errc() || end != v.data() + v.size() || cp <= 0) {
    why = "\"" + v + "\" is not a code page number";
    return false;
  }
  if (!codepage::IsSupported(cp)) {
    why = "code page " + v + " is not supported here";
    return false;
  }
  codePage = cp;
  return true;
}

bool ParseExportArguments(const std::vector<std::string>& raw, ExportArguments& out) {
  std::vector<std::string> positional;
  bool options = true;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const std::string& a = raw[i];
    std::string why;
    if (options && a == "--") options = false;
    else if (options && a == "--codepage") {
      if (++i == raw.size() || !ParseCodePage(raw[i], out.codePage, why)) return false;
    } else if (options && a == "--force") out.force = true;
    else if (options && a.size() > 1 && a[0] == '-') return false;
    else positional.push_back(a);
  }
  // An empty folder would put the file at the top of the file system.
  if (positional.size() != 2 || positional[0].empty() || positional[1].empty()) return false;
  out.book = positional[0];
  out.folder = positional[1];
  return true;
}

exports::ReplaceConsent ForceConsent(bool force) {
  return [force](const std::string&) { return force; };
}

bool IsFolder(const std::string& path) {
  os::FileInfo info;
  return os::StatPath(path, info) && info.directory;
}

std::string FolderProblem(const std::string& path) {
  os::FileInfo info;
  if (!os::StatPath(path, info)) {
    if (errno == ENOTDIR) return path + " is not a folder: part of its path is a file";
    if (errno == ENOENT) return "the folder " + path + " does not exist";
    return "the folder " + path + " cannot be used: " + std::strerror(errno);
  }
  if (!info.directory) return path + " is a file, not a folder";
  return {};
}

int ReportCompletion(const std::string& message, const exports::LossReport& loss) {
  // What was lost goes to standard error too, where scripts look for trouble.
  for (const auto& line : loss.Lines()) std::fprintf(stderr, "addrivo-convert: %s\n", line.c_str());
  const bool printed = std::printf("%s\n", message.c_str()) >= 0;
  if (!printed || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    // The export is finished and its file in place: running it again would
    // only make a second one.
    std::fprintf(stderr, "addrivo-convert: warning: the export finished, but its message could not be "
                         "written to standard output\n");
  }
  return 0;
}

namespace {

int RunXls(const std::vector<std::string>& rawArgs) {
  ExportArguments args;
  if (!ParseExportArguments(rawArgs, args)) {
    std::fprintf(stderr, "addrivo-convert: xls needs BOOK.wab and OUTDIR (a folder name)\n\n%s", UsageText());
    return 2;
  }
  if (const std::string problem = FolderProblem(args.folder); !problem.empty()) {
    std::fprintf(stderr, "addrivo-convert: %s\n", problem.c_str());
    return 1;
  }
  TerminalProgress terminal("Exporting contacts");
  exports::ExportProgress* progress = os::StderrIsTerminal() ? &terminal : nullptr;
  const auto result = exports::ExportToSpreadsheet(args.book, exports::WithTrailingSeparator(args.folder),
                                                   progress, {}, ForceConsent(args.force), args.codePage);
  if (!result.completed) {
    if (result.declined)
      std::fprintf(stderr, "addrivo-convert: %s already exists; nothing was written (--force replaces it)\n",
                   result.outputPath.c_str());
    else
      std::fprintf(stderr, "addrivo-convert: %s\n", WithNewlines(result.message).c_str());
    return 1;
  }
  return ReportCompletion(WithNewlines(result.message), result.loss);
}

}  // namespace

int RunExport(const std::string& verb, const std::vector<std::string>& args) {
  if (verb == "xls") return RunXls(args);
  std::fprintf(stderr, "addrivo-convert: %s is not available in this build\n", verb.c_str());
  return 1;
}

}  // namespace cli
