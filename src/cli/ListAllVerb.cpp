// list --all: the whole-book model as JSON lines.
#include <charconv>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "JsonText.h"
#include "Verbs.h"
#include "platform/codepage/CodePage.h"
#include "platform/automation/Automation.h"
#include "platform/wab/WabBook.h"
#include "platform/wab/WabReader.h"

namespace cli {
namespace {

void Key(std::string& out, std::string_view key) {
  out += ',';
  AppendJsonString(out, key);
  out += ':';
}

void Text(std::string& out, std::string_view key, const std::string& value) {
  if (value.empty()) return;
  Key(out, key);
  AppendJsonString(out, value);
}

void Number(std::string& out, std::string_view key, std::uint32_t value) {
  Key(out, key);
  out += std::to_string(value);
}

void FolderName(std::string& out, std::string_view key, const wab::Book& book,
                const std::optional<std::uint32_t>& folder) {
  if (!folder) return;
  if (const wab::Folder* f = book.FindFolder(*folder)) Text(out, key, f->displayName);
}

void DateValue(std::string& out, std::string_view key, const wab::Date& d) {
  if (!d.valid()) return;
  char buf[32];
  std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02d\"", d.year, d.month, d.day);
  Key(out, key);
  out += buf;
}

void Head(std::string& out, const char* kind, std::uint32_t id, const std::string& displayName) {
  out += "{\"kind\":";
  AppendJsonString(out, kind);
  Number(out, "id", id);
  Text(out, "displayName", displayName);
}

// The keys of a contact or a group's card, in listing order: the names,
// the e-mail addresses, the other text fields, then the family and dates.
void Card(std::string& out, const wab::Book& book, const wab::Contact& c, bool isGroup) {
  using wab::Field;
  FolderName(out, "folder", book, c.folder);
  auto field = [&](Field f) { Text(out, wab::FieldKey(f), c[f]); };
  for (Field f : {Field::Prefix, Field::GivenName, Field::MiddleName, Field::Surname, Field::Suffix,
                  Field::Nickname, Field::PhoneticGivenName, Field::PhoneticSurname})
    field(f);
  if (!c.emails.empty()) {
    Key(out, "emails");
    out += '[';
    for (std::size_t i = 0; i < c.emails.size(); ++i) {
      const auto& e = c.emails[i];
      if (i) out += ',';
      out += "{\"address\":";
      AppendJsonString(out, e.address);
      out += ",\"type\":";
      AppendJsonString(out, e.type);
      out += e.isDefault ? ",\"default\":true}" : ",\"default\":false}";
    }
    out += ']';
  }
  for (std::size_t k = static_cast<std::size_t>(Field::Im); k < static_cast<std::size_t>(Field::Notes); ++k)
    field(static_cast<Field>(k));
  if (!c.children.empty()) {
    Key(out, "children");
    out += '[';
    for (std::size_t i = 0; i < c.children.size(); ++i) {
      if (i) out += ',';
      AppendJsonString(out, c.children[i]);
    }
    out += ']';
  }
  if (c.gender != wab::Gender::Unspecified)
    Text(out, "gender", c.gender == wab::Gender::Female ? "female" : "male");
  DateValue(out, "birthday", c.birthday);
  DateValue(out, "anniversary", c.anniversary);
  field(Field::Notes);
  if (!isGroup && !c.groups.empty()) {
    Key(out, "groups");
    out += '[';
    bool first = true;
    for (auto id : c.groups) {
      const wab::Group* g = book.FindGroup(id);
      if (!g) continue;
      if (!first) out += ',';
      first = false;
      AppendJsonString(out, g->displayName);
    }
    out += ']';
  }
  if (c.deleted) out += ",\"deleted\":true";
}

// Display names of the contacts that groups list, noted as the contacts
// go by.
using MemberNames = std::unordered_map<std::uint32_t, std::string>;

void Members(std::string& out, const wab::Book& book, const MemberNames& names, const wab::Group& g) {
  if (g.members.empty()) return;
  Key(out, "members");
  out += '[';
  for (std::size_t i = 0; i < g.members.size(); ++i) {
    const auto& m = g.members[i];
    if (i) out += ',';
    switch (m.kind) {
      case wab::Member::Kind::Record: {
        const wab::Group* group = book.FindGroup(m.id);
        const auto name = names.find(m.id);
        out += "{\"id\":" + std::to_string(m.id) + ",\"displayName\":";
        AppendJsonString(out, group ? group->displayName : name != names.end() ? name->second : std::string());
        out += '}';
        break;
      }
      case wab::Member::Kind::Missing:
        out += "{\"id\":" + std::to_string(m.id) + ",\"missing\":true}";
        break;
      case wab::Member::Kind::OneOff:
        out += "{\"displayName\":";
        AppendJsonString(out, m.displayName);
        out += ",\"email\":";
        AppendJsonString(out, m.email);
        out += '}';
        break;
    }
  }
  out += ']';
}

bool Flush(std::string& out) {
  const bool ok = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
  out.clear();
  return ok;
}

int Usage(const char* why) {
  std::fprintf(stderr, "addrivo-convert: %s\n\n%s", why, UsageText());
  return 2;
}

}  // namespace

int RunListAll(const std::vector<std::string>& args) {
  wab::BookOptions options;
  std::string path;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(UsageText(), stdout);
      return 0;
    }
    if (a == "--all") continue;
    if (a == "--deleted") {
      options.recoverDeleted = true;
    } else if (a == "--codepage") {
      if (++i == args.size()) return Usage("--codepage needs a code page number");
      const std::string& v = args[i];
      int cp = 0;
      const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), cp);
      if (ec != std::errc() || end != v.data() + v.size() || cp <= 0)
        return Usage(("\"" + v + "\" is not a code page number").c_str());
      if (!codepage::IsSupported(cp))
        return Usage(("code page " + v + " is not supported here").c_str());
      options.codePage = cp;
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage(("unknown option \"" + a + "\" for list --all").c_str());
    } else if (!path.empty() || a.empty()) {
      return Usage("list takes one address book");
    } else {
      path = a;
    }
  }
  if (path.empty()) return Usage("list takes one address book");

  // Contacts are written as they are read, so a large book is never held whole.
  std::string out;
  out.reserve(1 << 16);
  bool ok = true;
  auto endLine = [&] {
    out += "}\n";
    if (out.size() >= (1 << 16)) ok = Flush(out) && ok;
  };
  bool foldersDone = false;
  auto folders = [&](const wab::Book& book) {
    foldersDone = true;
    for (const auto& f : book.folders) {
      Head(out, "folder", f.id, f.displayName);
      FolderName(out, "folder", book, f.parent);
      FolderName(out, "parent", book, f.parent);
      endLine();
    }
  };
  MemberNames names;
  std::size_t contacts = 0;
  // A book cut short while it is read fails as it does for every other verb,
  // not as a book of damaged records.
  const wab::WabFile file = wab::OpenBookFile(path);
  const auto cutShort = [&] {
    Flush(out);
    std::fflush(stdout);
    throw automation::AutomationError("Cannot read the address book \"" + path + "\": " + wab::kBookCutShort);
  };
  const wab::Book book = wab::ReadBook(file, options, [&](const wab::Book& sofar, const wab::Contact& c) {
    if (!file.Intact()) cutShort();
    if (!foldersDone) folders(sofar);
    ++contacts;
    if (!c.groups.empty()) names.emplace(c.id, c.displayName);
    Head(out, "contact", c.id, c.displayName);
    Card(out, sofar, c, false);
    endLine();
  });
  if (!file.Intact()) cutShort();
  if (!foldersDone) folders(book);
  for (const auto& g : book.groups) {
    Head(out, "group", g.id, g.displayName);
    Card(out, book, g, true);
    Members(out, book, names, g);
    endLine();
  }
  ok = Flush(out) && ok;
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || !ok) {
    std::fputs("addrivo-convert: cannot write the contact list to standard output\n", stderr);
    return 1;
  }
  std::fprintf(stderr,
               "addrivo-convert: %zu folder%s, %zu contact%s, %zu group%s, %u deleted recovered, "
               "%u damaged record%s skipped",
               book.folders.size(), book.folders.size() == 1 ? "" : "s", contacts, contacts == 1 ? "" : "s",
               book.groups.size(), book.groups.size() == 1 ? "" : "s",
               book.deletedRecovered, book.skippedRecords, book.skippedRecords == 1 ? "" : "s");
  if (book.skippedProperties > 0)
    std::fprintf(stderr, ", %u propert%s of unknown type or shape skipped", book.skippedProperties,
                 book.skippedProperties == 1 ? "y" : "ies");
  std::fprintf(stderr, " in \"%s\"\n", path.c_str());
  PrintSkippedRecords(file, book.skippedRecords);
  return 0;
}

}  // namespace cli
