#include "Completion.h"

#include "platform/codepage/AnsiEncoder.h"
#include "platform/os/Os.h"

namespace exports {

std::string ReplaceQuestion(const std::string& path) { return path + " already exists. Replace it?"; }

OutputCheck CheckOutput(const std::string& path, const ReplaceConsent& consent) {
  if (!os::Exists(path)) return OutputCheck::Write;
  return consent && consent(path) ? OutputCheck::Replace : OutputCheck::Declined;
}

std::string WithThousands(std::int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n), out = n < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::vector<std::string> LossReport::Lines() const {
  std::vector<std::string> lines;
  if (!bookCodePage.empty()) lines.push_back(bookCodePage);
  // "1 value was ..." or "3 values were ...".
  auto add = [&](std::int64_t n, const char* one, const char* many) {
    if (n > 0) lines.push_back(WithThousands(n) + " " + (n == 1 ? one : many));
  };
  add(addressesBeyondThird, "e-mail address beyond the third of its contact was put into its notes",
      "e-mail addresses beyond the third of their contact were put into its notes");
  add(groupsNamedInNotes, "group inside a group was named in its list's notes, not made a member",
      "groups inside groups were named in their list's notes, not made members");
  add(groupsSplit, "group was too large for one list and was split into several",
      "groups were too large for one list and were split into several");
  add(membersLeftOut, "group member was left out: an entry no longer in the book, or an address without one",
      "group members were left out: entries no longer in the book, or addresses without one");
  add(membersNamedInNotes, "group member has no e-mail address and was named in its list's notes",
      "group members have no e-mail address and were named in their list's notes");

  add(emailsInNotes, "e-mail address did not fit the layout's e-mail columns and was moved into the notes.",
      "e-mail addresses did not fit the layout's e-mail columns and were moved into the notes.");
  add(valuesInNotes, "value has no column of its own in this layout and was moved into the notes.",
      "values have no column of their own in this layout and were moved into the notes.");
  add(missingMembers, "group member names an entry that is no longer in the address book and was left out.",
      "group members name entries that are no longer in the address book and were left out.");
  add(addressMembers,
      "group member is a bare e-mail address, which this format cannot list in a group; it was left out.",
      "group members are bare e-mail addresses, which this format cannot list in a group; they were left out.");
  add(nestedGroups, "group listed inside another group has no place in this format and was left out of it.",
      "groups listed inside other groups have no place in this format and were left out of them.");
  if (xlsEmailsLeftOut + xlsValuesLeftOut + xlsGroupsLeftOut > 0) {
    auto counted = [](std::int64_t n, const char* one, const char* many) {
      return WithThousands(n) + " " + (n == 1 ? one : many);
    };
    lines.push_back("The workbook's columns left out " +
                    counted(xlsEmailsLeftOut, "further e-mail address", "further e-mail addresses") + ", " +
                    counted(xlsValuesLeftOut, "other value", "other values") + " and " +
                    counted(xlsGroupsLeftOut, "group", "groups") +
                    " of the book; the .xlsx and vCard exports keep them.");
  }
  add(formulaCells,
      "cell began like a spreadsheet formula (=, +, -, @, tab or carriage return) and was written with a leading "
      "' so that no spreadsheet runs it; an importer sees the ' too.",
      "cells began like a spreadsheet formula (=, +, -, @, tab or carriage return) and were written with a leading "
      "' so that no spreadsheet runs them; an importer sees the ' too.");
  add(groupFields, "field of a group (its address, phones, web page or notes) has no place in this format.",
      "fields of groups (their addresses, phones, web pages or notes) have no place in this format.");

  if (lostCharacterValues > 0)
    lines.push_back(WithThousands(lostCharacterValues) + (lostCharacterValues == 1 ? " value had" : " values had") +
                    " characters that code page " + std::to_string(codePage) +
                    " cannot hold; they were written as \"?\". The Unicode formats keep every character.");
  if (shortenedValues > 0) {
    const bool one = shortenedValues == 1;
    const std::string limit =
        shortenLimitBytes > 0 ? "a cell holds (" + std::to_string(shortenLimitBytes) + " bytes)" : "the format holds";
    lines.push_back(WithThousands(shortenedValues) + (one ? " value was" : " values were") + " longer than " + limit +
                    " and " + (one ? "was" : "were") + " shortened.");
  }
  add(skippedRecords, "damaged record of the address book was skipped.",
      "damaged records of the address book were skipped.");
  add(skippedProperties, "property of a kind no export reads was left out.",
      "properties of a kind no export reads were left out.");
  return lines;
}

void LossReport::AppendTo(std::string& message) const {
  for (const auto& line : Lines()) message += "\r\n" + line;
}

LostCharacters::LostCharacters(int codePage) : encoder_(std::make_unique<codepage::AnsiEncoder>(codePage)) {}
LostCharacters::~LostCharacters() = default;
LostCharacters::LostCharacters(LostCharacters&&) noexcept = default;

void LostCharacters::Check(std::string_view utf8, LossReport& report) const {
  if (encoder_->Loses(utf8)) ++report.lostCharacterValues;
}

}  // namespace exports
