// The code page a book's 8-bit texts are read in, and why: the one asked for
// (--codepage, the window's choice), else the locale's, unless the texts do
// not fit it and a guess from the texts names another. Books whose texts are
// all Unicode (most) are not affected and get no line.
#pragma once

#include <memory>
#include <string>

#include "platform/automation/AddressBookReader.h"

namespace exports {

struct BookCodePage {
  int codePage = 0;  // 0: the locale's (nothing to choose: no 8-bit texts, or the book unreadable)
  std::string line;  // for the completion message; empty unless asked for or guessed
};

// asked > 0 is used as it is. Reads up to the first 2,000 contacts, the
// groups and folders once more; a book that cannot be read gets codePage 0
// (the export then fails on it with its own message).
BookCodePage ChooseBookCodePage(const std::string& bookPath, int asked);

// Whether the book (its first 2,000 contacts, groups and folders) holds
// 8-bit texts, whose code page is then worth choosing; false when unreadable.
bool HasEightBitTexts(const std::string& bookPath);

// The registry's address-book reader; the real one reading 8-bit texts in
// codePage when that is not 0.
std::shared_ptr<automation::AddressBookReader> CreateBookReader(int codePage);

}  // namespace exports
