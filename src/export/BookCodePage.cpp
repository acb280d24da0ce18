#include "BookCodePage.h"

#include <algorithm>
#include <string_view>
#include <exception>

#include "platform/automation/Automation.h"
#include "platform/codepage/CodePage.h"
#include "platform/codepage/CodePageGuess.h"
#include "platform/wab/WabBook.h"
#include "platform/wab/WabReader.h"

namespace exports {
namespace {

// Read once as ISO-8859-1 (each byte its own character) and once as 1251
// (most bytes above 127 another one): the texts that differ were 8-bit,
// and their ISO-8859-1 form gives back their bytes. UTF-16 texts read alike.
constexpr int kByteForByte = 28591, kOther = 1251;
constexpr std::size_t kSampledContacts = 2000;
// A guess from fewer 8-bit bytes than this is a coin toss (a "Łódź" alone
// was taken for Baltic): the locale's page stays.
constexpr std::size_t kEnoughForAGuess = 24;

std::size_t HighBytes(std::string_view bytes) {
  return static_cast<std::size_t>(
      std::count_if(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
}

// Whether the locale's page reads every byte as a character (no U+FFFD in
// place of one). A double-byte page (932, 936, 949, 950) that reads them all
// is taken at its word: its sequences rarely hold by chance.
bool ReadsEveryByte(std::string_view bytes, int codePage) {
  return codepage::ToUtf8(bytes, codePage).find("\xEF\xBF\xBD") == std::string::npos;
}

bool IsDoubleByte(int codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

void Compare(const std::string& asBytes, const std::string& asOther, std::string& eightBit) {
  if (asBytes == asOther) return;
  eightBit += codepage::FromUtf8(asBytes, kByteForByte).bytes;
  eightBit += '\n';
}

void CompareContacts(const wab::Contact& a, const wab::Contact& b, std::string& eightBit) {
  Compare(a.displayName, b.displayName, eightBit);
  for (std::size_t f = 0; f < a.fields.size(); ++f) Compare(a.fields[f], b.fields[f], eightBit);
  for (std::size_t e = 0; e < std::min(a.emails.size(), b.emails.size()); ++e)
    Compare(a.emails[e].address, b.emails[e].address, eightBit);
}

std::string EightBitTexts(const std::string& path) {
  const wab::WabFile file = wab::OpenBookFile(path);
  wab::BookContacts bytes(file, wab::BookOptions{false, kByteForByte});
  wab::BookContacts other(file, wab::BookOptions{false, kOther});
  std::string eightBit;
  const auto& g1 = bytes.Outline().groups;
  const auto& g2 = other.Outline().groups;
  for (std::size_t i = 0; i < std::min(g1.size(), g2.size()); ++i) CompareContacts(g1[i], g2[i], eightBit);
  const auto& f1 = bytes.Outline().folders;
  const auto& f2 = other.Outline().folders;
  for (std::size_t i = 0; i < std::min(f1.size(), f2.size()); ++i)
    Compare(f1[i].displayName, f2[i].displayName, eightBit);
  wab::Contact a, b;
  for (std::size_t i = 0; i < std::min(bytes.Count(), kSampledContacts); ++i)
    if (bytes.ReadAt(i, a) && other.ReadAt(i, b)) CompareContacts(a, b, eightBit);
  return eightBit;
}

}  // namespace

BookCodePage ChooseBookCodePage(const std::string& bookPath, int asked) {
  BookCodePage page;
  if (asked > 0) {
    page.codePage = asked;
    page.line = "8-bit texts of the book were read in code page " + std::to_string(asked) + ", as asked.";
    return page;
  }
  std::string eightBit;
  try {
    eightBit = EightBitTexts(bookPath);
  } catch (const std::exception&) {
    return page;  // the export reads the book itself and says what is wrong
  }
  if (eightBit.empty()) return page;
  const int locale = codepage::SystemAnsiCodePage();
  const auto guess = codepage::GuessCodePage(eightBit);
  // The locale's page is kept, as always, unless there is enough text for
  // a guess and the page does not fit it: it cannot read the texts, or it
  // is a page of one byte a character (which reads nearly anything) and the
  // guess reads them otherwise. Only a change is worth a line.
  const bool localeFits = HighBytes(eightBit) < kEnoughForAGuess ||
                          (IsDoubleByte(locale) && ReadsEveryByte(eightBit, locale));
  if (!guess || localeFits || codepage::ReadAlike(eightBit, locale, guess->codePage)) {
    page.codePage = locale;
    return page;
  }
  page.codePage = guess->codePage;
  page.line = "8-bit texts of the book were read in code page " + std::to_string(guess->codePage) + " (" +
              guess->charset + "), guessed from the texts: they do not read as code page " +
              std::to_string(locale) + ", the locale's. --codepage N reads them in another.";
  return page;
}

bool HasEightBitTexts(const std::string& bookPath) {
  try {
    return !EightBitTexts(bookPath).empty();
  } catch (const std::exception&) {
    return false;
  }
}

std::shared_ptr<automation::AddressBookReader> CreateBookReader(int codePage) {
  auto reader = automation::Registry::Instance().Create<automation::AddressBookReader>(
      automation::kAddressBookReaderProgId);
  // Only the real reader decodes 8-bit texts; a stand-in is left as it is.
  if (wab::HeldBook* held = wab::HeldBookOf(*reader); held && codePage > 0) held->SetCodePage(codePage);
  return reader;
}

}  // namespace exports
