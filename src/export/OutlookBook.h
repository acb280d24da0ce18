// The Outlook export beyond the designed twenty properties: with the whole
// book read (wab::Book), each contact item gets every property Outlook has a
// place for, the groups become distribution lists, and a book of several
// folders gets one subfolder each. The same calls would drive a real Outlook.
// No Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Completion.h"
#include "platform/automation/AddressBookReader.h"
#include "platform/automation/Outlook.h"
#include "platform/wab/ContactReadAhead.h"
#include "platform/wab/WabBook.h"

namespace exports {

// What could not travel as such, for the completion message.
struct OutlookBookOutcome {
  std::int64_t distributionLists = 0;
  std::int64_t addressesInNotes = 0;  // e-mail addresses beyond the third, as lines of the notes
  std::int64_t membersLeftOut = 0;    // group members naming an entry no longer in the book
  std::int64_t nestedGroups = 0;      // groups inside groups that close a circle: named in the notes
  std::int64_t membersWithoutAddress = 0;  // members with no e-mail address: named in the notes
  std::int64_t groupsSplit = 0;       // groups written as several lists, each within Outlook's size
};

// The whole book behind a reader, when the reader is the real one, read
// beside it one contact at a time (see ThroughReader); nothing for any other
// reader (a test's fake), which keeps the twenty properties.
std::unique_ptr<wab::BookContacts> OpenWholeBook(automation::AddressBookReader& reader);
// The same started on a second thread, so that the book's folders and
// groups are read while Outlook gets its store; inline where no thread can
// start. The reader must outlive the result.
std::future<std::unique_ptr<wab::BookContacts>> OpenWholeBookAside(automation::AddressBookReader& reader);

// How the read-ahead reads each contact of the Outlook export: the reader
// selects its k-th contact and takes the named fields as stored, in that
// order, and the contact is decoded whole from the record it selected, so
// no record is read twice. The reader's selection and the book are the
// reading thread's until the read-ahead is gone.
wab::ContactReadAhead::Reading ThroughReader(automation::AddressBookReader& reader, wab::BookContacts& book,
                                            std::vector<std::string> names);
// The fields ThroughReader took for the contact ahead.Next() last handed
// out, decoded into out (one per name) on the caller's thread, as the
// reader's GetValue gives them: the reading thread is the busier one.
void ReaderTexts(const automation::AddressBookReader& reader, const wab::ContactReadAhead& ahead, std::string* out);

// The properties after the designed twenty, in this order: Department,
// FullName (the book's display name, which the contact is shown by), e-mail 1's type, e-mail 2 and 3 with their types, JobTitle, Title, Suffix,
// NickName, the home address's city, state, postal code and country (when the book
// has one),
// PagerNumber, OtherTelephoneNumber (the IP phone), PersonalHomePage,
// IMAddress, Spouse, Children, Gender, Birthday, Anniversary,
// YomiFirstName, YomiLastName, Categories (the contact's groups), and Body
// again when addresses beyond the third are added to the notes.
// checkText, when given, sees every text value set (as the export counts
// the values an ANSI file's code page cannot hold).
using TextCheck = std::function<void(const std::string&)>;
void SetWholeContact(automation::outlook::ContactItem& item, const wab::Contact& contact,
                     const wab::Book& book, OutlookBookOutcome& outcome, const TextCheck& checkText = {});

// A saved contact that groups list, and what it adds to a list's size.
struct ListMember {
  std::shared_ptr<automation::outlook::ContactItem> item;
  std::size_t bytes = 0;
  std::string name;         // as the book shows it, for the notes when it has no address
  bool hasAddress = false;  // a list member needs one
};
ListMember AsListMember(std::shared_ptr<automation::outlook::ContactItem> item, const wab::Contact& contact);
using SavedMembers = std::unordered_map<std::uint32_t, ListMember>;

// The book's folders under `top`, nested as in the book: a book of one
// top-level folder has that folder as `top` itself (its items directly in
// it, its subfolders under it); several top-level folders get one
// subfolder each.
class OutlookFolderPlan {
 public:
  OutlookFolderPlan(const wab::Book& book, std::shared_ptr<automation::outlook::Folder> top);
  // Where an item of that book folder goes.
  std::shared_ptr<automation::outlook::Folder> For(const std::optional<std::uint32_t>& folder) const;

 private:
  std::shared_ptr<automation::outlook::Folder> top_;
  std::map<std::uint32_t, std::shared_ptr<automation::outlook::Folder>> folders_;
};

// Each group of book (its outline: folders and groups) as a distribution
// list in its folder; members that are contacts point to the saved items
// (by the book's record id), members that are groups to their lists. A
// member without an e-mail address is named in the list's notes, as are
// the group's own fields with their labels. A group whose members would
// pass the size a list may hold becomes several lists, "Name", "Name (2)", ...
void ExportGroups(const wab::Book& book, const OutlookFolderPlan& folders, const SavedMembers& saved,
                  OutlookBookOutcome& outcome, const TextCheck& checkText = {});

// Adds what the whole book could not carry to the export's loss report,
// whose lines go into the completion message and to standard error.
void CountLosses(const OutlookBookOutcome& outcome, LossReport& loss);

// The completion message's line for the groups saved as lists; empty for none.
std::string OutlookBookSavedLine(const OutlookBookOutcome& outcome);

// The completion message's lines for what the whole book added or could
// not carry: the saved line, then the loss lines; empty when there is
// nothing to say.
std::string OutlookBookLines(const OutlookBookOutcome& outcome);

}  // namespace exports
