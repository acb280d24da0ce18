// carddav [OPTIONS] BOOK.wab URL: every contact and group of the book into
// an address book of a CardDAV server.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TerminalProgress.h"
#include "Verbs.h"
#include "platform/automation/Automation.h"
#include "carddav/Upload.h"
#include "platform/os/Net.h"
#include "platform/os/Os.h"

namespace cli {
namespace {

int Usage(const std::string& why) {
  std::fprintf(stderr, "addrivo-convert: carddav: %s\n\n%s", why.c_str(), UsageText());
  return 2;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "addrivo-convert: %s\n", message.c_str());
  return 1;
}

// The first line of the file, without its line end.
bool ReadPasswordFile(const std::string& path, std::string& password) {
  const int fd = os::OpenForReading(path);
  if (fd < 0) return false;
  std::string text;
  char buffer[4096];
  long long n = 0;
  std::uint64_t at = 0;
  while ((n = os::ReadAt(fd, buffer, sizeof buffer, at)) > 0 && text.size() < (1u << 16)) {
    text.append(buffer, static_cast<std::size_t>(n));
    at += static_cast<std::uint64_t>(n);
  }
  os::Close(fd);
  if (n < 0) return false;
  password = text.substr(0, text.find_first_of("\r\n"));
  return true;
}

}  // namespace

int RunCardDav(const std::vector<std::string>& args) {
  carddav::UploadOptions upload;
  os::HttpOptions http;
  std::string passwordFile;
  std::vector<std::string> names;
  // Options that take a value, as "--name value" or "--name=value".
  const auto value = [&](std::size_t& i, const char* name, std::string& out) {
    const std::string& a = args[i];
    const std::string prefix = std::string(name) + "=";
    if (a == name) {
      if (i + 1 == args.size()) return false;
      out = args[++i];
      return true;
    }
    if (a.rfind(prefix, 0) == 0) {
      out = a.substr(prefix.size());
      return true;
    }
    return false;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--update") {
      upload.update = true;
    } else if (a == "--password" || a.rfind("--password=", 0) == 0) {
      return Usage("a password is never taken from the command line: use --password-file, "
                   "ADDRIVO_CARDDAV_PASSWORD or the prompt");
    } else if (value(i, "--user", http.user) || value(i, "--password-file", passwordFile) ||
               value(i, "--address-book", upload.addressBook) || value(i, "--ca-file", http.caFile)) {
      continue;
    } else if (a == "--user" || a == "--password-file" || a == "--address-book" || a == "--ca-file") {
      return Usage(a + " needs a value");
    } else if (a.size() > 1 && a.rfind("--", 0) == 0) {
      return Usage("unknown option " + a);
    } else {
      names.push_back(a);
    }
  }
  if (names.size() != 2 || names[0].empty() || names[1].empty()) return Usage("needs BOOK.wab and URL");
  if (upload.addressBook.empty()) return Usage("--address-book needs a name");
  upload.url = names[1];
  upload.signedIn = !http.user.empty();

  if (!http.user.empty()) {
    if (!passwordFile.empty()) {
      if (!ReadPasswordFile(passwordFile, http.password)) return Failure("cannot read the password file " + passwordFile);
    } else if (const char* env = std::getenv("ADDRIVO_CARDDAV_PASSWORD")) {
      http.password = env;
    } else {
      const std::string prompt = "Password for " + http.user + ": ";
      if (!os::ReadSecretFromTerminal(prompt.c_str(), http.password))
        return Failure("no password: give --password-file or ADDRIVO_CARDDAV_PASSWORD, or run on a terminal");
    }
  } else if (!passwordFile.empty()) {
    return Usage("--password-file needs --user");
  }
  if (!http.caFile.empty() && !os::Exists(http.caFile)) return Failure("cannot find the certificate file " + http.caFile);

  wab::Book book;
  try {
    book = wab::LoadBook(names[0]);
  } catch (const automation::AutomationError& e) {
    return Failure(WithNewlines(e.what()));
  }
  std::string why;
  const auto client = os::NewHttpClient(http, why);
  if (!client) return Failure(why);

  TerminalProgress progress("Uploading");
  if (os::StderrIsTerminal()) upload.progress = &progress;
  const carddav::UploadResult result = carddav::Upload(*client, book, upload);
  for (const std::string& line : result.refusals) std::fprintf(stderr, "addrivo-convert: %s\n", line.c_str());
  if (!result.reached) return Failure(result.failure);
  if (!result.finished) {
    // Cards already uploaded stay; the next run counts them as already there.
    return Failure(result.failure + " Stopped after " + carddav::Counts(result) + " of " +
                   std::to_string(result.cards) + " cards; run it again to go on.");
  }
  std::string message = std::to_string(result.cards) + " cards to " + result.bookUrl + " (vCard " +
                        (result.version == exports::VCardVersion::V4 ? "4.0" : "3.0") + "): " +
                        carddav::Counts(result) + ".";
  ReportCompletion(message, result.losses);
  return result.refused ? 1 : 0;
}

}  // namespace cli
