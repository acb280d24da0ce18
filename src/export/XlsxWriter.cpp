#include "XlsxWriter.h"

#include "XlsxPackage.h"

#include <algorithm>
#include <charconv>
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

// The cell styles of styles.xml, by their index there.
enum Style : int { kPlain = 0, kBold = 1, kWrapTop = 2, kDate = 3, kStamp = 4 };

void AppendNumber(std::string& out, std::uint64_t n) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  out.append(digits, end);
}

// A column width as stored: whole pixels at the default font's 7-pixel
// digits plus 5 pixels of padding, in 256ths of a character, as Excel keeps it.
void AppendWidth(std::string& out, double width) {
  const auto pixels = static_cast<std::uint64_t>(width * 7 + 0.5) + 5;
  const std::uint64_t in256 = pixels * 256 / 7;
  AppendNumber(out, in256 / 256);
  if (std::uint64_t frac = in256 % 256) {
    // n/256 ends after at most eight decimals: written exactly, the same everywhere.
    frac *= 390625;  // 10^8 / 256
    char decimals[9];
    for (int i = 7; i >= 0; --i, frac /= 10) decimals[i] = static_cast<char>('0' + frac % 10);
    int n = 8;
    while (decimals[n - 1] == '0') --n;
    out += '.';
    out.append(decimals, static_cast<std::size_t>(n));
  }
}

// One worksheet's XML, written straight into its part of the package.
class SheetXml {
 public:
  SheetXml(ZipPackage& zip, const std::string& part) : zip_(zip), out_(zip.text()) { zip_.Begin(part); }

  // The worksheet's start up to its first row: the used range, the heading
  // row frozen, the column widths (and the style of whole columns).
  void Start(std::size_t columns, std::size_t rows, const std::vector<double>& widths,
             const std::vector<int>& columnStyles) {
    out_ +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<dimension ref=\"A1:";
    AppendColumnName(out_, static_cast<std::uint32_t>(columns - 1));
    AppendNumber(out_, rows + 1);
    out_ +=
        "\"/><sheetViews><sheetView workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A2\" "
        "activePane=\"bottomLeft\" state=\"frozen\"/><selection pane=\"bottomLeft\" activeCell=\"A2\" "
        "sqref=\"A2\"/></sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/><cols>";
    for (std::size_t i = 0; i < widths.size(); ++i) {
      out_ += "<col min=\"";
      AppendNumber(out_, i + 1);
      out_ += "\" max=\"";
      AppendNumber(out_, i + 1);
      out_ += "\" width=\"";
      AppendWidth(out_, widths[i]);
      if (i < columnStyles.size() && columnStyles[i] != kPlain) {
        out_ += "\" style=\"";
        AppendNumber(out_, static_cast<std::uint64_t>(columnStyles[i]));
      }
      out_ += "\" customWidth=\"1\"/>";
    }
    out_ += "</cols><sheetData>";
  }

  void Row(std::size_t row) {
    if (inRow_) EndRow();
    row_ = row;
    out_ += "<row r=\"";
    AppendNumber(out_, row);
    out_ += "\">";
    inRow_ = true;
  }

  void Text(std::size_t col, std::string_view text, int style = kPlain) {
    Cell(col, style);
    out_ += " t=\"inlineStr\"><is><t";
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
    if (!text.empty() && (space(text.front()) || space(text.back()))) out_ += " xml:space=\"preserve\"";
    out_ += '>';
    AppendXmlText(out_, text);
    out_ += "</t></is></c>";
  }

  // A date (and a time of day, in seconds) as its serial number.
  void Date(std::size_t col, std::int64_t days, int seconds, int style) {
    Cell(col, style);
    out_ += "><v>";
    if (seconds == 0) {
      char digits[24];
      out_.append(digits, std::to_chars(digits, digits + sizeof digits, days).ptr);
    } else {
      // Shortest round-trip digits: the same text from every C++ library.
      char digits[40];
      const double serial = static_cast<double>(days) + seconds / 86400.0;
      out_.append(digits, std::to_chars(digits, digits + sizeof digits, serial).ptr);
    }
    out_ += "</v></c>";
  }

  // The rest of the sheet: the heading's filter, when there is one.
  void Finish(const std::string& autoFilter) {
    if (inRow_) EndRow();
    out_ += "</sheetData>";
    if (!autoFilter.empty()) out_ += "<autoFilter ref=\"" + autoFilter + "\"/>";
    out_ +=
        "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
        "</worksheet>\n";
    zip_.End();
  }

 private:
  void Cell(std::size_t col, int style) {
    out_ += "<c r=\"";
    AppendColumnName(out_, static_cast<std::uint32_t>(col));
    AppendNumber(out_, row_);
    out_ += '"';
    if (style != kPlain) {
      out_ += " s=\"";
      AppendNumber(out_, static_cast<std::uint64_t>(style));
      out_ += '"';
    }
  }
  void EndRow() {
    out_ += "</row>";
    inRow_ = false;
    zip_.Spill();
  }

  ZipPackage& zip_;
  std::string& out_;
  std::size_t row_ = 0;
  bool inRow_ = false;
};

// "A1:BC301" for a block from the first cell.
std::string Range(std::size_t columns, std::size_t rows, bool absolute = false) {
  std::string out = absolute ? "$A$1:$" : "A1:";
  AppendColumnName(out, static_cast<std::uint32_t>(columns - 1));
  if (absolute) out += '$';
  AppendNumber(out, rows);
  return out;
}

void WritePart(ZipPackage& zip, const std::string& name, const std::string& text) {
  zip.Begin(name);
  zip.Append(text);
  zip.End();
}

constexpr const char* kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRels = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kPackageRels = "http://schemas.openxmlformats.org/package/2006/relationships";

// Everything of the package but the two sheets.
void WriteFixedParts(ZipPackage& zip, std::size_t columns, std::size_t rows) {
  const std::string sheetType = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
  WritePart(zip, "[Content_Types].xml",
            std::string(kXmlHead) +
                "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                "<Override PartName=\"/xl/workbook.xml\" "
                "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"" + sheetType + "\"/>"
                "<Override PartName=\"/xl/worksheets/sheet2.xml\" ContentType=\"" + sheetType + "\"/>"
                "<Override PartName=\"/xl/styles.xml\" "
                "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
                "<Override PartName=\"/docProps/app.xml\" "
                "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
                "</Types>\n");
  WritePart(zip, "_rels/.rels",
            std::string(kXmlHead) + "<Relationships xmlns=\"" + kPackageRels + "\">"
                "<Relationship Id=\"rId1\" Type=\"" + kRels + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                "<Relationship Id=\"rId2\" Type=\"" + kRels + "/extended-properties\" Target=\"docProps/app.xml\"/>"
                "</Relationships>\n");
  WritePart(zip, "docProps/app.xml",
            std::string(kXmlHead) +
                "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
                "<Application>Addrivo</Application></Properties>\n");
  WritePart(zip, "xl/workbook.xml",
            std::string(kXmlHead) + "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRels + "\">"
                "<workbookPr/><bookViews><workbookView/></bookViews><sheets>"
                "<sheet name=\"Contacts\" sheetId=\"1\" r:id=\"rId1\"/>"
                "<sheet name=\"Groups\" sheetId=\"2\" r:id=\"rId2\"/></sheets>"
                // Excel keeps an autofilter's range under this hidden name.
                "<definedNames><definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"0\" hidden=\"1\">Contacts!" +
                Range(columns, rows + 1, true) + "</definedName></definedNames></workbook>\n");
  WritePart(zip, "xl/_rels/workbook.xml.rels",
            std::string(kXmlHead) + "<Relationships xmlns=\"" + kPackageRels + "\">"
                "<Relationship Id=\"rId1\" Type=\"" + kRels + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                "<Relationship Id=\"rId2\" Type=\"" + kRels + "/worksheet\" Target=\"worksheets/sheet2.xml\"/>"
                "<Relationship Id=\"rId3\" Type=\"" + kRels + "/styles\" Target=\"styles.xml\"/>"
                "</Relationships>\n");
  // The cell styles in Style's order: plain, bold, wrapped at the top, a
  // date and a date with its time (both left-aligned).
  WritePart(zip, "xl/styles.xml",
            std::string(kXmlHead) + "<styleSheet xmlns=\"" + kMain + "\">"
                "<numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd\"/>"
                "<numFmt numFmtId=\"165\" formatCode=\"yyyy-mm-dd hh:mm:ss\"/></numFmts>"
                "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
                "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
                "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
                "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
                "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
                "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
                "<cellXfs count=\"5\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
                "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/>"
                "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyAlignment=\"1\">"
                "<alignment vertical=\"top\" wrapText=\"1\"/></xf>"
                "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\" "
                "applyAlignment=\"1\"><alignment horizontal=\"left\"/></xf>"
                "<xf numFmtId=\"165\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\" "
                "applyAlignment=\"1\"><alignment horizontal=\"left\"/></xf></cellXfs>"
                "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
                "</styleSheet>\n");
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

void WriteXlsx(wab::BookContacts& book, const XlsxSheetPlan& plan, int fd, ContactProgress& progress,
               LossReport& losses) {
  const XlsxSheetPlan::Impl& measured = *plan.impl_;
  const std::vector<Column> cols = measured.Final();
  const std::vector<double> widths = measured.Widths(cols);
  Sheet sheet(measured.outline);
  losses.shortenLimitBytes = 0;  // the cell limit counts characters, not bytes

  try {
    ZipPackage zip(fd);
    WriteFixedParts(zip, cols.size(), plan.rows());

    std::vector<int> columnStyles(cols.size(), kPlain);
    for (std::size_t i = 0; i < cols.size(); ++i)
      if (cols[i].source == Source::FieldText && cols[i].field == Field::Notes) columnStyles[i] = kWrapTop;
    SheetXml ws(zip, "xl/worksheets/sheet1.xml");
    ws.Start(cols.size(), plan.rows(), widths, columnStyles);
    ws.Row(1);
    for (std::size_t i = 0; i < cols.size(); ++i) ws.Text(i, cols[i].heading, kBold);

    std::size_t row = 1;
    std::string text;
    wab::Contact c;  // reused: its texts keep their room
    for (std::size_t at = 0; at < book.Count(); ++at) {
      if (!book.ReadAt(at, c)) {
        progress.Advance();
        continue;
      }
      sheet.index().Note(c);
      ws.Row(++row);
      const auto emails = EmailsDefaultFirst(c);
      for (std::size_t i = 0; i < cols.size(); ++i) {
        const Column& column = cols[i];
        if (column.source == Source::Birthday || column.source == Source::Anniversary) {
          const wab::Date& d = column.source == Source::Birthday ? c.birthday : c.anniversary;
          if (!IsCalendarDate(d)) continue;
          // Excel's dates start in 1900: an earlier day stays a text, not lost.
          if (d.year < 1900)
            ws.Text(i, IsoDate(d));
          else
            ws.Date(i, ExcelDaySerial(d.year, d.month, d.day), 0, kDate);
          continue;
        }
        if (column.source == Source::Modified) {
          if (!c.modified) continue;
          const std::int64_t t = *c.modified;
          const std::int64_t days = (t >= 0 ? t : t - 86399) / 86400;  // floor
          const std::int64_t serial = days + 25569;                    // 1970-01-01
          // 1900-03-01 to 9999-12-31: the days every reader shows alike.
          if (serial < 61 || serial > 2958465) continue;
          ws.Date(i, serial, static_cast<int>(t - days * 86400), kStamp);
          continue;
        }
        text = sheet.Text(c, column, emails);
        if (text.empty()) continue;
        // A cell breaks lines with LF alone; a CR would show as "_x000D_".
        if (text.find('\r') != std::string::npos) text = UnixLineBreaks(text);
        FitCell(text, losses);
        ws.Text(i, text, columnStyles[i]);
      }
      progress.Advance();
    }
    ws.Finish(Range(cols.size(), plan.rows() + 1));

    // Groups: one row per member; a group without members gets a row of its
    // own. Gathered first: the sheet starts with its size.
    struct GroupRow {
      const std::string* group;
      const std::string* details;  // the group's own fields, on its first row
      std::string member, email;
    };
    std::vector<std::string> names;
    names.reserve(measured.outline.groups.size());
    std::vector<std::string> details;
    details.reserve(measured.outline.groups.size());
    std::vector<GroupRow> groupRows;
    for (const wab::Group& g : measured.outline.groups) {
      const std::string& name = names.emplace_back(FormattedName(g));
      // The group's own fields (address, phones, notes ...) beside its first row.
      std::string& own = details.emplace_back(GroupDetails(g));
      FitCell(own, losses);
      bool any = false;
      for (const wab::Member& m : g.members) {
        GroupRow r{&name, any ? nullptr : &own, {}, {}};
        switch (m.kind) {
          case wab::Member::Kind::Record:
            if (const BookIndex::MemberContact* mc = sheet.index().Contact(m.id)) {
              r.member = mc->name;
              r.email = mc->email;
            } else if (const wab::Group* sub = sheet.index().Group(m.id)) {
              r.member = FormattedName(*sub);
            } else {
              ++losses.missingMembers;
              continue;
            }
            break;
          case wab::Member::Kind::Missing: ++losses.missingMembers; continue;
          case wab::Member::Kind::OneOff:
            r.member = m.displayName.empty() ? m.email : m.displayName;
            r.email = m.email;
            break;
        }
        groupRows.push_back(std::move(r));
        any = true;
      }
      if (!any) groupRows.push_back({&name, &own, {}, {}});
    }
    SheetXml gs(zip, "xl/worksheets/sheet2.xml");
    gs.Start(4, groupRows.size(), {30, 30, 36, 40}, {kPlain, kPlain, kPlain, kWrapTop});
    gs.Row(1);
    const char* groupHeadings[] = {"Group", "Member", "Member's E-mail", "Group's Details"};
    for (std::size_t i = 0; i < 4; ++i) gs.Text(i, groupHeadings[i], kBold);
    row = 1;
    for (const GroupRow& r : groupRows) {
      gs.Row(++row);
      gs.Text(0, *r.group);
      if (!r.member.empty()) gs.Text(1, r.member);
      if (!r.email.empty()) gs.Text(2, r.email);
      if (r.details && !r.details->empty()) gs.Text(3, *r.details, kWrapTop);
    }
    for (std::size_t i = 0; i < measured.outline.groups.size(); ++i) progress.Advance();
    gs.Finish({});
    zip.Finish();
  } catch (const XlsxPackageError& e) {
    throw XlsxError(e.what());
  }
}

}  // namespace exports
