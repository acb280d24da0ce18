// vCard text of the whole book: one card per contact and per group, vCard
// 3.0 (RFC 2426) or 4.0 (RFC 6350). UTF-8 without quoted-printable, CR LF
// line ends, lines folded at 75 octets without splitting a character unless
// folding is off. Groups: in 4.0 KIND:group cards with MEMBER; in 3.0
// CATEGORIES on the members plus X-ADDRESSBOOKSERVER-KIND/-MEMBER cards.
// Plain C++, no Qt; never fails (every text is taken as it is).
#pragma once

#include <string>
#include <string_view>

#include "Completion.h"
#include "BookText.h"

namespace exports {

enum class VCardVersion { V3, V4 };

struct VCardOptions {
  VCardVersion version = VCardVersion::V3;
  bool fold = true;
};

class VCardWriter {
 public:
  // The book's groups and folders, and its contacts when it holds them;
  // one read a contact at a time passes its outline. It must outlive the
  // writer.
  VCardWriter(const wab::Book& book, VCardOptions options);

  // Appends the contact's card to out.
  void AppendContact(const wab::Contact& contact, std::string& out);
  // Appends the group's card to out, after every contact's (a member is
  // named by the card written for it); counts members it cannot name.
  void AppendGroup(const wab::Group& group, std::string& out);

  const LossReport& losses() const { return losses_; }

 private:
  void Line(std::string_view name, std::string_view value, std::string& out);
  void Text(std::string& into, std::string_view value);
  void CommonProperties(const wab::Contact& c, std::string& out);

  BookIndex index_;
  VCardOptions options_;
  LossReport losses_;
  std::string value_;  // reused for each property value
};

// Appends "name:value" folded at 75 octets (continuation lines start with a
// space and never split a UTF-8 sequence), or unfolded, then CR LF.
void AppendContentLine(std::string& out, std::string_view name, std::string_view value, bool fold);

// Escapes a text value: backslash, comma, newline (any of CR LF, CR, LF) and,
// where the version asks for it, semicolon.
void AppendEscaped(std::string& out, std::string_view text, bool escapeSemicolon);

}  // namespace exports
