// What every export shares at its end: whether it may replace a file the
// user has, and the lines of its completion message that name what could
// not travel. No Qt: the dialog and addrivo-convert both use it.
//
// Replacing: an export that finds its output file present asks a
// ReplaceConsent (the dialog asks the user with ReplaceQuestion's text,
// No by default; the command line answers yes only with --force). A "no"
// ends the export with nothing written; the writer is then told not to
// replace a file that appears meanwhile either.
//
// Loss: an export counts, while it writes, the values that lost characters
// to a code page, the values it shortened, the damaged records the book
// reader skipped and what its format has no place for (values and addresses
// moved into the notes, group members left out); LossReport::Lines() turns
// the counts into sentences for the completion message (the window shows
// them, the command line prints the message and the same lines again on
// standard error). Every export's loss sentences are worded here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace codepage {
class AnsiEncoder;
}

namespace exports {

// Asked with the output path when the file is there already; true replaces it.
using ReplaceConsent = std::function<bool(const std::string& path)>;

// "<path> already exists. Replace it?"
std::string ReplaceQuestion(const std::string& path);

// What to do about an output file before anything is written.
enum class OutputCheck { Write, Replace, Declined };

// Write when nothing has the name, Replace when the consent agreed, Declined
// when it did not or when there is none to ask.
OutputCheck CheckOutput(const std::string& path, const ReplaceConsent& consent);

struct LossReport {
  // How the book's 8-bit texts were read, when chosen or guessed (a line).
  std::string bookCodePage;
  int codePage = 0;                        // of the 8-bit texts; 0 for none
  std::int64_t lostCharacterValues = 0;    // values with characters the page lacks
  std::int64_t shortenedValues = 0;        // values cut at shortenLimitBytes
  std::size_t shortenLimitBytes = 255;     // 0: the format's own limit, not a byte count
  std::int64_t skippedRecords = 0;         // damaged records of the book left out
  std::int64_t skippedProperties = 0;      // properties of a kind no export reads

  // The exports of the whole book (vCard, CSV, .xlsx).
  std::int64_t emailsInNotes = 0;    // addresses beyond the layout's slots, moved into the notes
  std::int64_t valuesInNotes = 0;    // values without a column of their own, moved into the notes
  std::int64_t missingMembers = 0;   // group members naming records no longer in the book
  std::int64_t addressMembers = 0;   // group members that are bare addresses, with no place in the format
  std::int64_t nestedGroups = 0;     // groups listed inside groups, where the format has no such thing
  // The designed workbook's: what its columns have no place for.
  std::int64_t xlsEmailsLeftOut = 0, xlsValuesLeftOut = 0, xlsGroupsLeftOut = 0;
  std::int64_t formulaCells = 0;     // CSV cells a spreadsheet would run, written with a leading '
  std::int64_t groupFields = 0;      // groups' own fields (address, phones, notes ...) with no place

  // The personal folders export's groups and contacts.
  std::int64_t addressesBeyondThird = 0;  // e-mail addresses put into their contact's notes
  std::int64_t groupsNamedInNotes = 0;    // groups inside groups, named in their list's notes
  std::int64_t groupsSplit = 0;           // groups too large for one distribution list
  std::int64_t membersLeftOut = 0;        // members with no entry in the book, or nothing to name them by
  std::int64_t membersNamedInNotes = 0;   // members without an e-mail address, named in their list's notes

  bool empty() const { return Lines().empty(); }
  // One sentence a kind of loss, none when nothing was lost.
  std::vector<std::string> Lines() const;
  // Appends Lines() to a message whose lines are separated by "\r\n".
  void AppendTo(std::string& message) const;
};

// Counts into a LossReport the values that lose characters in a code page.
class LostCharacters {
 public:
  explicit LostCharacters(int codePage);
  ~LostCharacters();
  LostCharacters(LostCharacters&&) noexcept;
  // Counts the value when some character of it cannot be written.
  void Check(std::string_view utf8, LossReport& report) const;

 private:
  std::unique_ptr<codepage::AnsiEncoder> encoder_;
};

// "1,234"
std::string WithThousands(std::int64_t n);

}  // namespace exports
