#include "XlsxWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <xlsxwriter.h>

#include <algorithm>
#include <ctime>
#include <unordered_map>

namespace exports {
namespace {

using wab::Field;

// Where a column's value comes from.
enum class Source : std::uint8_t {
  FieldText,
  Email,
  DisplayName,
  Children,
  Gender,
  Birthday,
  Anniversary,
  Groups,
  Folder,
  Modified,
  Deleted,
};

struct Column {
  std::string heading;
  Source source;
  Field field = Field::Notes;
  std::size_t email = 0;  // for Source::Email: 0 for "E-mail 1"
};

// The designed workbook's columns in its order, each holding the field its
// heading names ("Pager" holds the pager, "Home ..." the home address).
struct Named {
  const char* heading;
  Field field;
};
constexpr Named kDesignedBeforeEmail[] = {
    {"First Name", Field::GivenName}, {"Middle Name", Field::MiddleName}, {"Last Name", Field::Surname}};
constexpr Named kDesignedAfterEmail[] = {
    {"Company", Field::Company},
    {"Office", Field::Office},
    {"Business Web Page", Field::BusinessWeb},
    {"Department", Field::Department},
    {"Business Street", Field::BusinessStreet},
    {"Business City", Field::BusinessCity},
    {"Business Postal Code", Field::BusinessPostalCode},
    {"Business State", Field::BusinessState},
    {"Business Country", Field::BusinessCountry},
    {"Business Phone", Field::BusinessPhone},
    {"Business Fax", Field::BusinessFax},
    {"Pager", Field::Pager},
    {"Home Street", Field::HomeStreet},
    {"Home Country", Field::HomeCountry},
    {"Home Phone", Field::HomePhone},
    {"Home Fax", Field::HomeFax},
    {"Notes", Field::Notes},
};
// Every other field of the model, after those.
constexpr Named kOtherFields[] = {
    {"Name Prefix", Field::Prefix},
    {"Name Suffix", Field::Suffix},
    {"Nickname", Field::Nickname},
    {"Phonetic First Name", Field::PhoneticGivenName},
    {"Phonetic Last Name", Field::PhoneticSurname},
    {"Job Title", Field::JobTitle},
    {"Home City", Field::HomeCity},
    {"Home State", Field::HomeState},
    {"Home Postal Code", Field::HomePostalCode},
    {"Mobile Phone", Field::Mobile},
    {"IP Phone", Field::IpPhone},
    {"IM Address", Field::Im},
    {"Personal Web Page", Field::PersonalWeb},
    {"Spouse", Field::Spouse},
};

// A group's own fields, one "Heading: value" a line, for the Groups sheet.
std::string GroupDetails(const wab::Group& g) {
  std::string out;
  auto put = [&](const std::string& heading, const std::string& value) {
    if (value.empty()) return;
    if (!out.empty()) out += '\n';
    out += heading + ": " + UnixLineBreaks(value);
  };
  for (const Named& n : kDesignedBeforeEmail) put(n.heading, g[n.field]);
  for (const Named& n : kDesignedAfterEmail) put(n.heading, g[n.field]);
  for (const Named& n : kOtherFields) put(n.heading, g[n.field]);
  for (const wab::EmailAddress& e : g.emails) put("E-mail", e.address);
  return out;
}

// The columns for this many e-mail columns, with "Deleted" when the book
// holds recovered contacts.
std::vector<Column> Columns(std::size_t emails, bool deleted) {
  std::vector<Column> cols;
  for (const Named& n : kDesignedBeforeEmail) cols.push_back({n.heading, Source::FieldText, n.field});
  for (std::size_t i = 0; i < emails; ++i)
    cols.push_back({"E-mail " + std::to_string(i + 1), Source::Email, Field::Notes, i});
  for (const Named& n : kDesignedAfterEmail) cols.push_back({n.heading, Source::FieldText, n.field});
  cols.push_back({"Display Name", Source::DisplayName});
  for (const Named& n : kOtherFields) cols.push_back({n.heading, Source::FieldText, n.field});
  cols.push_back({"Children", Source::Children});
  cols.push_back({"Gender", Source::Gender});
  cols.push_back({"Birthday", Source::Birthday});
  cols.push_back({"Anniversary", Source::Anniversary});
  cols.push_back({"Groups", Source::Groups});
  cols.push_back({"Folder", Source::Folder});
  cols.push_back({"Last Modified (UTC)", Source::Modified});
  if (deleted) cols.push_back({"Deleted", Source::Deleted});
  return cols;
}

// A cell holds at most 32,767 characters.
constexpr std::size_t kMaxCellChars = 32767;

// Columns wide enough for their values, within reason: characters that take
// three or four UTF-8 bytes (CJK among them) count twice.
double DisplayWidth(const std::string& s) {
  double width = 0, longest = 0;
  for (unsigned char c : s) {
    if (c == '\n') {
      longest = std::max(longest, width);
      width = 0;
    } else if (c < 0x80) {
      width += 1;
    } else if (c >= 0xE0) {
      width += 2;
    } else if (c >= 0xC0) {
      width += 1;
    }
  }
  return std::max(longest, width);
}

void Check(lxw_error e) {
  if (e != LXW_NO_ERROR) throw XlsxError(lxw_strerror(e));
}

// Cuts text to a cell's limit, at a character boundary, and counts it.
void FitCell(std::string& text, LossReport& losses) {
  if (text.size() <= kMaxCellChars) return;  // fewer bytes than the limit: fewer characters too
  std::size_t chars = 0, i = 0;
  for (; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (chars == kMaxCellChars) break;
    ++chars;
  }
  if (i < text.size()) {
    text.resize(i);
    ++losses.shortenedValues;
  }
}

bool IsDateColumn(Source s) { return s == Source::Birthday || s == Source::Anniversary || s == Source::Modified; }

class Sheet {
 public:
  explicit Sheet(const wab::Book& book) : index_(book) {
    for (const auto& f : book.folders) folders_.emplace(f.id, &f);
  }

  // The cell text of a text column; dates are handled apart. emails: the
  // contact's, default first.
  std::string Text(const wab::Contact& c, const Column& col, const std::vector<const wab::EmailAddress*>& emails) {
    switch (col.source) {
      case Source::FieldText: return c[col.field];
      case Source::Email: return col.email < emails.size() ? emails[col.email]->address : std::string();
      case Source::DisplayName: return c.displayName;
      case Source::Children: {
        std::string out;
        for (const auto& child : c.children) out += (out.empty() ? "" : ", ") + child;
        return out;
      }
      case Source::Gender:
        return c.gender == wab::Gender::Male ? "Male" : c.gender == wab::Gender::Female ? "Female" : "";
      case Source::Groups: {
        std::string out;
        for (const auto& g : index_.GroupNames(c)) out += (out.empty() ? "" : "; ") + g;
        return out;
      }
      case Source::Folder: {
        if (!c.folder) return {};
        auto it = folders_.find(*c.folder);
        return it == folders_.end() ? std::string() : it->second->displayName;
      }
      case Source::Deleted: return c.deleted ? "Yes" : "";
      default: return {};
    }
  }

  BookIndex& index() { return index_; }

 private:
  BookIndex index_;
  std::unordered_map<std::uint32_t, const wab::Folder*> folders_;
};

// Column widths stop growing here.
constexpr double kMaxWidth = 50;

lxw_datetime DateCell(const wab::Date& d) {
  return lxw_datetime{d.year, d.month, d.day, 0, 0, 0.0};
}

}  // namespace

// The widest value of every text column, kept apart for e-mail columns
// (their number grows as contacts come) and for the others (in the order
// Columns gives them, "Deleted" included).
struct XlsxSheetPlan::Impl {
  explicit Impl(const wab::Book& book) : outline(book), sheet(book), others(Columns(0, true)) {
    std::erase_if(others, [](const Column& c) { return IsDateColumn(c.source); });
    widest.assign(others.size(), 0);
  }

  void Add(const wab::Contact& c) {
    ++rows;
    const auto emails = EmailsDefaultFirst(c);
    if (emailWidest.size() < emails.size()) emailWidest.resize(emails.size(), 0);
    for (std::size_t i = 0; i < emails.size(); ++i)
      if (emailWidest[i] < kMaxWidth) emailWidest[i] = std::max(emailWidest[i], DisplayWidth(emails[i]->address) + 1);
    for (std::size_t i = 0; i < others.size(); ++i)
      if (widest[i] < kMaxWidth) widest[i] = std::max(widest[i], DisplayWidth(sheet.Text(c, others[i], emails)) + 1);
  }

  std::vector<Column> Final() const {
    return Columns(std::max<std::size_t>(1, emailWidest.size()), outline.deletedRecovered > 0);
  }

  // The width of each final column: its heading's, its widest value's, at
  // least a date's when there are rows, at most kMaxWidth.
  std::vector<double> Widths(const std::vector<Column>& cols) const {
    std::vector<double> out;
    std::size_t other = 0;
    for (const Column& col : cols) {
      double w = DisplayWidth(col.heading) + 2;
      if (col.source == Source::Birthday || col.source == Source::Anniversary) {
        if (rows) w = std::max(w, 12.0);
      } else if (col.source == Source::Modified) {
        if (rows) w = std::max(w, 20.0);
      } else if (col.source == Source::Email) {
        if (col.email < emailWidest.size()) w = std::max(w, emailWidest[col.email]);
      } else {
        while (other < others.size() && others[other].heading != col.heading) ++other;
        if (other < others.size()) w = std::max(w, widest[other]);
      }
      out.push_back(std::min(w, kMaxWidth));
    }
    return out;
  }

  const wab::Book& outline;
  Sheet sheet;
  std::vector<Column> others;
  std::vector<double> widest, emailWidest;
  std::size_t rows = 0;
};

XlsxSheetPlan::XlsxSheetPlan(const wab::Book& outline) : impl_(std::make_unique<Impl>(outline)) {}
XlsxSheetPlan::~XlsxSheetPlan() = default;
void XlsxSheetPlan::Add(const wab::Contact& contact) { impl_->Add(contact); }
std::size_t XlsxSheetPlan::rows() const { return impl_->rows; }

std::vector<std::string> XlsxHeadings(const wab::Book& book) {
  std::size_t emails = 1;
  for (const auto& c : book.contacts) emails = std::max(emails, c.emails.size());
  std::vector<std::string> out;
  for (const Column& c : Columns(emails, book.deletedRecovered > 0)) out.push_back(c.heading);
  return out;
}

void WriteXlsx(wab::BookContacts& book, const XlsxSheetPlan& plan, const std::string& path,
               ContactProgress& progress, LossReport& losses) {
  const XlsxSheetPlan::Impl& measured = *plan.impl_;
  const std::vector<Column> cols = measured.Final();
  const std::vector<double> widths = measured.Widths(cols);
  Sheet sheet(measured.outline);
  losses.shortenLimitBytes = 0;  // the cell limit counts characters, not bytes

  // Constant memory: rows go to disk as they are written, in order; the
  // temporary files sit beside the output.
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  const auto slash = path.find_last_of('/');
  std::string tmpdir = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  options.tmpdir = tmpdir.data();
  lxw_workbook* wb = workbook_new_opt(path.c_str(), &options);
  if (!wb) throw XlsxError("the workbook could not be created");
  struct Closer {
    lxw_workbook* wb;
    ~Closer() {
      if (wb) workbook_close(wb);  // after a failure: frees it; the caller drops the file
    }
  } closer{wb};

  lxw_worksheet* ws = workbook_add_worksheet(wb, "Contacts");
  lxw_worksheet* groupsSheet = workbook_add_worksheet(wb, "Groups");
  if (!ws || !groupsSheet) throw XlsxError("the sheets could not be added");
  lxw_format* bold = workbook_add_format(wb);
  format_set_bold(bold);
  lxw_format* wrap = workbook_add_format(wb);
  format_set_text_wrap(wrap);
  format_set_align(wrap, LXW_ALIGN_VERTICAL_TOP);
  lxw_format* date = workbook_add_format(wb);
  format_set_num_format(date, "yyyy-mm-dd");
  format_set_align(date, LXW_ALIGN_LEFT);
  lxw_format* stamp = workbook_add_format(wb);
  format_set_num_format(stamp, "yyyy-mm-dd hh:mm:ss");
  format_set_align(stamp, LXW_ALIGN_LEFT);

  // Widths from the values, measured beforehand: in constant-memory mode
  // they must be set before the first row.
  for (std::size_t i = 0; i < cols.size(); ++i) {
    const auto col = static_cast<lxw_col_t>(i);
    Check(worksheet_set_column(ws, col, col, widths[i],
                               cols[i].source == Source::FieldText && cols[i].field == Field::Notes ? wrap
                                                                                                     : nullptr));
  }

  for (std::size_t i = 0; i < cols.size(); ++i)
    Check(worksheet_write_string(ws, 0, static_cast<lxw_col_t>(i), cols[i].heading.c_str(), bold));
  worksheet_freeze_panes(ws, 1, 0);
  Check(worksheet_autofilter(ws, 0, 0, static_cast<lxw_row_t>(plan.rows()),
                             static_cast<lxw_col_t>(cols.size() - 1)));

  lxw_row_t row = 1;
  std::string text;
  wab::Contact c;  // reused: its texts keep their room
  for (std::size_t at = 0; at < book.Count(); ++at) {
    if (!book.ReadAt(at, c)) {
      progress.Advance();
      continue;
    }
    sheet.index().Note(c);
    const auto emails = EmailsDefaultFirst(c);
    for (std::size_t i = 0; i < cols.size(); ++i) {
      const auto col = static_cast<lxw_col_t>(i);
      const Column& column = cols[i];
      if (column.source == Source::Birthday || column.source == Source::Anniversary) {
        const wab::Date& d = column.source == Source::Birthday ? c.birthday : c.anniversary;
        if (IsCalendarDate(d)) {
          lxw_datetime dt = DateCell(d);
          Check(worksheet_write_datetime(ws, row, col, &dt, date));
        }
        continue;
      }
      if (column.source == Source::Modified) {
        if (!c.modified) continue;
        const std::time_t t = static_cast<std::time_t>(*c.modified);
        std::tm tm{};
        if (!gmtime_r(&t, &tm) || tm.tm_year + 1900 < 1900 || tm.tm_year + 1900 > 9999) continue;
        lxw_datetime dt{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                        static_cast<double>(tm.tm_sec)};
        Check(worksheet_write_datetime(ws, row, col, &dt, stamp));
        continue;
      }
      text = sheet.Text(c, column, emails);
      if (text.empty()) continue;
      // A cell breaks lines with LF alone; a CR would show as "_x000D_".
      if (text.find('\r') != std::string::npos) text = UnixLineBreaks(text);
      FitCell(text, losses);
      Check(worksheet_write_string(ws, row, col, text.c_str(), nullptr));
    }
    ++row;
    progress.Advance();
  }

  // Groups: one row per member; a group without members gets a row of its own.
  Check(worksheet_set_column(groupsSheet, 0, 1, 30, nullptr));
  Check(worksheet_set_column(groupsSheet, 2, 2, 36, nullptr));
  Check(worksheet_set_column(groupsSheet, 3, 3, 40, nullptr));
  const char* groupHeadings[] = {"Group", "Member", "Member's E-mail", "Group's Details"};
  for (lxw_col_t i = 0; i < 4; ++i) Check(worksheet_write_string(groupsSheet, 0, i, groupHeadings[i], bold));
  worksheet_freeze_panes(groupsSheet, 1, 0);
  row = 1;
  for (const wab::Group& g : measured.outline.groups) {
    const std::string name = FormattedName(g);
    // The group's own fields (address, phones, notes ...) beside its first row.
    std::string details = GroupDetails(g);
    FitCell(details, losses);
    bool any = false;
    for (const wab::Member& m : g.members) {
      std::string member, email;
      switch (m.kind) {
        case wab::Member::Kind::Record:
          if (const BookIndex::MemberContact* c = sheet.index().Contact(m.id)) {
            member = c->name;
            email = c->email;
          } else if (const wab::Group* sub = sheet.index().Group(m.id)) {
            member = FormattedName(*sub);
          } else {
            ++losses.missingMembers;
            continue;
          }
          break;
        case wab::Member::Kind::Missing: ++losses.missingMembers; continue;
        case wab::Member::Kind::OneOff:
          member = m.displayName.empty() ? m.email : m.displayName;
          email = m.email;
          break;
      }
      Check(worksheet_write_string(groupsSheet, row, 0, name.c_str(), nullptr));
      if (!any && !details.empty()) Check(worksheet_write_string(groupsSheet, row, 3, details.c_str(), wrap));
      if (!member.empty()) Check(worksheet_write_string(groupsSheet, row, 1, member.c_str(), nullptr));
      if (!email.empty()) Check(worksheet_write_string(groupsSheet, row, 2, email.c_str(), nullptr));
      ++row;
      any = true;
    }
    if (!any) {
      if (!details.empty()) Check(worksheet_write_string(groupsSheet, row, 3, details.c_str(), wrap));
      Check(worksheet_write_string(groupsSheet, row++, 0, name.c_str(), nullptr));
    }
    progress.Advance();
  }

  closer.wb = nullptr;
  // The library prints its own failures ("[ERROR][...packager.c:...]") on
  // standard error while it packs the file; the cause is told in our words
  // instead, from the error and errno.
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
  errno = 0;
  const lxw_error closed = workbook_close(wb);
  const int err = errno;
  if (saved >= 0 && null >= 0) ::dup2(saved, STDERR_FILENO);
  if (null >= 0) ::close(null);
  if (saved >= 0) ::close(saved);
  if (closed == LXW_NO_ERROR) return;
  if (err == ENOSPC || err == EDQUOT) throw XlsxError("the disk is full");
  if (err == EROFS) throw XlsxError("the folder is on a file system mounted read-only");
  if (err == EACCES || err == EPERM) throw XlsxError("permission denied");
  throw XlsxError(lxw_strerror(closed));
}

}  // namespace exports
