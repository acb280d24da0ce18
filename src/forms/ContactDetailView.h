// The right-hand half of the main window: one contact at a time, split from
// the record its tree node keeps, in a name row, an e-mail row and four tabs
// (frame OsenXPFrame1, tabs OsenXPTab1). Display only: nothing reads the
// boxes back. Writes the controls of the view it is given; FrmMain shares
// its own view with it.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "View.h"

namespace wab {
struct Book;
struct Contact;
struct Group;
}  // namespace wab

namespace forms {

class ContactDetailView {
 public:
  inline static constexpr const char* kFrameCaption = "Contact Details";
  // Label captions of the tabs, in tab order.
  inline static constexpr std::array<const char*, 4> kTabCaptions{
      "Business Address", "Business Contact Information", "Personal", "Briefcase"};

  explicit ContactDetailView(View& view) : view_(view) {}

  // How a date of the whole-book model is written (the front end's short
  // date of the user's locale); "YYYY-MM-DD" until one is set.
  using DateFormat = std::function<std::string(int year, int month, int day)>;
  void SetDateFormat(DateFormat format) { dateFormat_ = std::move(format); }

  // The design-time state: captions, every box empty, the picture hidden.
  void Form_Load();

  // Shows the contact whose record text this is. An empty record text marks
  // the root or a group node: the view then keeps what it showed.
  void ShowRecord(const std::string& recordText);
  // Shows a contact with everything the whole-book model holds: the boxes
  // from recordText (the model's own fields when it is empty, as for a
  // deleted contact), then the boxes the record does not reach, every
  // e-mail address, the folder and the groups.
  void ShowContact(const wab::Book& book, const wab::Contact& contact, const std::string& recordText);
  // Shows a group: its name, its own fields and its members.
  void ShowGroup(const wab::Book& book, const wab::Group& group);

  // The 21 record positions of a contact of the model, as the scan would
  // have read them.
  static std::vector<std::string> RecordFields(const wab::Contact& contact);
  // "First Middle Last", or "First Last" without a middle name; nothing is
  // trimmed, so an empty first name leaves a leading space.
  static std::string HeaderName(const std::vector<std::string>& parts);

  // The boxes that receive record positions 0 to 20, in position order.
  static const std::array<const char*, 21>& MappedBoxNames();
  // The 11 boxes the designed record never reaches; only the whole-book
  // model (ShowContact) fills them.
  static const std::array<const char*, 11>& UnfilledBoxNames();
  // Every label of the view: (control name, caption).
  struct Caption {
    const char* control;
    const char* text;
  };
  static const std::vector<Caption>& Captions();
  // The caption of the label beside a box ("Company" for txtCompany).
  static const char* CaptionOf(std::string_view box);

  // What the view shows now (the header and each box by name), for the
  // forms' own tests and for front ends that redraw.
  const std::string& HeaderText() const { return header_; }
  bool PictureShown() const { return pictureShown_; }

 private:
  void SetBox(std::string_view box, const std::string& text);
  void ClearExtras();

  View& view_;
  DateFormat dateFormat_;
  std::string header_;
  std::string place_;  // where the contact shown belongs: folder, groups
  bool pictureShown_ = false;
};

}  // namespace forms
