// The verbs of addrivo-convert. Each returns the process exit code:
// 0 success, 1 failure (message on standard error), 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace cli {

// list BOOK.wab: one JSON object per contact, keys in reader order.
int RunList(const std::vector<std::string>& args);

// list --all [--deleted] [--codepage N] BOOK.wab: the whole book, one JSON
// object a line (folders, contacts, groups), a summary on standard error.
int RunListAll(const std::vector<std::string>& args);

// xls | pst-ansi | pst-unicode BOOK.wab OUTDIR: the exports of the window.
int RunExport(const std::string& verb, const std::vector<std::string>& args);

// pst-ansi | pst-unicode BOOK.wab OUTDIR: the Outlook export.
int RunPstExport(const std::string& verb, const std::vector<std::string>& args);

// The usage text, for --help and usage errors.
const char* UsageText();

}  // namespace cli
