// Puts every contact and group of a book into an address book of a CardDAV
// server (RFC 6352): finds the address book from the server's address
// (RFC 6764 well-known address, the user's principal, its address-book
// home) or takes the address book's own address, makes it with an extended
// MKCOL (RFC 5689) when absent, and PUTs one card per contact and group
// with If-None-Match: *, so a second run adds nothing. A card the server
// refuses is named and the rest go on. Plain C++, no Qt.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "export/ExportDispatch.h"
#include "export/ExportProgress.h"
#include "export/VCardWriter.h"
#include "platform/os/Net.h"
#include "platform/wab/WabBook.h"

namespace carddav {

struct UploadOptions {
  std::string url;                         // the server's address or an address book's own
  std::string addressBook = "WAB Contacts";  // display name of the book to use or make
  bool update = false;                     // replace changed cards (If-Match on their ETag)
  bool signedIn = false;                   // a user name was given (for the 401 message)
  exports::ExportProgress* progress = nullptr;
};

struct UploadResult {
  bool reached = false;    // the address book was found or made
  bool finished = false;   // every card was tried
  std::string failure;     // why not, in the program's words
  std::string bookUrl;     // the address book used
  exports::VCardVersion version = exports::VCardVersion::V3;
  std::size_t cards = 0;   // contacts and groups of the book
  std::size_t uploaded = 0, present = 0, updated = 0, refused = 0;
  std::vector<std::string> refusals;  // one line a refused card
  exports::LossReport losses;         // what the cards could not carry
};

UploadResult Upload(os::HttpClient& http, const wab::Book& book, const UploadOptions& options);

// The conversion dialog's run: the book at request.bookPath into
// request.server, ending as every export does (a completion message that
// counts the cards and names each refused one, or the failure).
exports::ExportOutcome RunUpload(const exports::ExportRequest& request);

// "12 uploaded, 3 already there, 1 updated, 0 refused".
std::string Counts(const UploadResult& result);

// The card's lines unfolded and sorted, without the server's PRODID: two
// cards that say the same compare equal however a server folds or orders
// them.
std::string Comparable(std::string_view card);

}  // namespace carddav
