// addrivo-convert: the scan and exports of Addrivo without a window.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "Verbs.h"
#include "platform/os/Os.h"
#include "platform/outlook/OutlookStandIn.h"
#include "platform/wab/WabReader.h"

namespace cli {

const char* UsageText() {
  return "Usage: addrivo-convert VERB ARGUMENTS\n"
         "\n"
         "  list BOOK.wab               print every contact as one JSON object a line\n"
         "  list --all [--deleted] [--codepage N] BOOK.wab\n"
         "                              print the whole book: folders, contacts with every field,\n"
         "                              groups with their members; --deleted adds the deleted\n"
         "                              contacts still in the file; N: code page of 8-bit texts\n"
         "  xls [--force] BOOK.wab OUTDIR\n"
         "                              export every contact to an Excel workbook (.xls)\n"
         "  pst-ansi BOOK.wab OUTDIR    export to a new Outlook personal folders file, ANSI format\n"
         "  pst-unicode BOOK.wab OUTDIR export to a new Outlook personal folders file, Unicode format\n"
         "  vcard [--version 3.0|4.0] [--no-fold] [--force] BOOK.wab OUTDIR\n"
         "                              every contact and group as vCards (book.vcf), 3.0 unless\n"
         "                              asked; --no-fold for importers that mishandle folded lines\n"
         "  csv-outlook [--force] BOOK.wab OUTDIR\n"
         "                              CSV with Outlook's English headers (book.csv)\n"
         "  csv-google [--force] BOOK.wab OUTDIR\n"
         "                              CSV with Google Contacts' headers (book.csv)\n"
         "  xlsx [--force] BOOK.wab OUTDIR\n"
         "                              every field into an Excel workbook (book.xlsx)\n"
         "                              An existing output file is replaced only with --force.\n"
         "                              Every export takes --codepage N: the code page of the\n"
         "                              book's 8-bit texts (the locale's by default).\n"
         "  carddav [--user NAME] [--password-file FILE] [--address-book NAME] [--ca-file PEM]\n"
         "          [--update] BOOK.wab URL\n"
         "                              upload every contact and group to a CardDAV server (URL:\n"
         "                              the server or an address book); NAME defaults to\n"
         "                              \"WAB Contacts\", made when missing; the password comes from\n"
         "                              FILE, else $ADDRIVO_CARDDAV_PASSWORD, else a prompt;\n"
         "                              cards already there are kept, --update replaces changed ones\n"
         "  --help                      show this text\n"
         "\n"
         "Whatever could not travel (characters the code page lacks, values shortened,\n"
         "damaged records skipped) is named in the message and on standard error.\n"
         "Exit status: 0 success, 1 failure (the message is on standard error), 2 usage error.\n";
}

}  // namespace cli

int main(int argc, char** argv) {
  wab::RegisterComponent();
  outlook::RegisterComponent();
  // UTF-8 on every system: a book under any name can be named.
  std::vector<std::string> args = os::Arguments(argc, argv);
  if (!args.empty()) args.erase(args.begin());
  if (args.empty()) {
    std::fputs(cli::UsageText(), stderr);
    return 2;
  }
  const std::string verb = args.front();
  args.erase(args.begin());
  try {
    if (verb == "--help" || verb == "-h" || verb == "help") {
      std::fputs(cli::UsageText(), stdout);
      return 0;
    }
    if (verb == "list") return cli::RunList(args);
    if (verb == "carddav") return cli::RunCardDav(args);
    if (verb == "pst-ansi" || verb == "pst-unicode") return cli::RunPstExport(verb, args);
    if (cli::IsBookVerb(verb)) return cli::RunBookExport(verb, args);
    if (verb == "xls" || verb == "pst-ansi" || verb == "pst-unicode") return cli::RunExport(verb, args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "addrivo-convert: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "addrivo-convert: unknown verb \"%s\"\n\n%s", verb.c_str(), cli::UsageText());
  return 2;
}
