// The real address book beside the checkout: what it must decode to, the
// mail client's own CSV export of it, and the test writer re-creating it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "platform/automation/AddressBookReader.h"
#include "platform/wab/WabFile.h"
#include "platform/wab/WabReader.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

using automation::kReaderFieldKeys;
namespace tw = testsupport::wab;

// Looked up inside each test, so a missing sample skips that test alone.
std::string RealBook() { return testsupport::TestDataPath("wab/HiraokaTaro.WAB").string(); }

std::map<std::string, std::string> ReadContact(automation::AddressBookReader& r, int i) {
  r.Select(i);
  std::map<std::string, std::string> m;
  for (auto k : kReaderFieldKeys) m[std::string(k)] = r.GetValue(std::string(k));
  return m;
}

TEST(WabRealBook, DecodesToItsFourLiveContacts) {
  wab::RegisterComponent();
  auto reader = automation::Registry::Instance().Create<automation::AddressBookReader>("warjo.wab");
  reader->Open(RealBook());
  ASSERT_EQ(reader->GetCount(), 4);
  EXPECT_EQ(reader->SkippedRecords(), 0);

  const std::map<std::string, std::string> taro{
      {"Name", "太郎"}, {"MiddleName", ""}, {"Surname", "枚岡"}, {"HomeEmail", "test@example.com"},
      {"CompanyName", "会社名"}, {"BusinessAddress", "勤務：番地"}, {"City", "勤務：市区町村"},
      {"Postal", "勤務：郵便"}, {"Province", "勤務：都道府県"}, {"Country", "勤務：国"},
      {"OfficeLocation", "勤務：オフィス"}, {"CompanyURL", "http://example.org/corp"},
      {"Department", "勤務：部署"}, {"BusinessPhone", "勤務：TEL"}, {"BusinessFax", "勤務：FAX"},
      {"HomeAddress", "番地"}, {"HomePhone", "TEL"}, {"Fax", "FAX"}, {"CellPhone", "PHONE"},
      {"Comment", "追加情報\r\nその他\r\nメモ"}};
  EXPECT_EQ(ReadContact(*reader, 0), taro);

  // Record-index order: IDs 3, 7, 11, 12. The groups, folders and the
  // deleted contacts 8, 9 and 10 are not contacts.
  const std::pair<const char*, const char*> names[] = {{"①", "フォルダ"}, {"3", "Folder"}, {"Ⅱ", "フォルダ"}};
  for (int i = 1; i <= 3; ++i) {
    auto c = ReadContact(*reader, i);
    EXPECT_EQ(c["Name"], names[i - 1].first);
    EXPECT_EQ(c["Surname"], names[i - 1].second);
    for (auto& [k, v] : c) {
      if (k == "Name" || k == "Surname") continue;
      EXPECT_EQ(v, "") << k << " of contact " << i;
    }
  }
  EXPECT_THROW(reader->Select(4), automation::AutomationError);
}

// The header structs read the real book's bytes as the format notes give
// them, and write them back byte for byte.
TEST(WabRealBook, HeaderStructsReadAndWriteItsBytes) {
  const std::string bytes = testsupport::ReadFile(RealBook());
  struct Case {
    const char* what;
    std::size_t at;
    std::vector<std::uint32_t> words;  // eight for a record header, four for a descriptor
  };
  const Case cases[] = {
      {"record 14, the group Gr1", 0x2FCBE, {1, 2, 14, 7, 0x20, 0x1C, 0x1C, 0x91}},
      {"record index", wab::header::Table(0), {0xFA0, 0x50, 0x8A4, 10}},
      {"display-name index", wab::header::Table(1), {0x84D0, 0x2A8, 0x1844, 10}},
      {"e-mail index", wab::header::Table(4), {0x84D0, 68, 0x1A6B4, 1}},
      {"named-property map", wab::header::kNamedMap, {0x800, 0x1DE, 0xA4, 3}},
  };
  for (const auto& c : cases) {
    const std::string_view at = std::string_view(bytes).substr(c.at);
    std::vector<std::uint32_t> words;
    std::string encoded;
    if (c.words.size() == 8) {
      const auto h = wab::RecordHeader::Decode(at);
      words = {h.copy, h.kind, h.recordId, h.propCount, h.headerSize, h.tagBytes, h.tagBytes2, h.dataLen};
      encoded = h.Encode();
    } else {
      const auto d = wab::TableDescriptor::Decode(at);
      words = {d.allocated, d.used, d.offset, d.count};
      encoded.resize(wab::TableDescriptor::kSize);
      d.Encode(encoded.data());
    }
    EXPECT_EQ(words, c.words) << c.what;
    EXPECT_EQ(encoded, at.substr(0, encoded.size())) << c.what;
  }
}

// A CSV parser enough for the export: quoted fields may hold commas and
// line breaks.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
      else if (c == '"') quoted = false;
      else field += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().push_back(field), field.clear();
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      rows.back().push_back(field), field.clear();
      rows.emplace_back();
    } else {
      field += c;
    }
  }
  if (!field.empty() || !rows.back().empty()) rows.back().push_back(field);
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

TEST(WabRealBook, MatchesTheMailClientsOwnCsvExport) {
  std::string csv;
  const std::string csvPath = testsupport::TestDataPath("wab/HiraokaTaro.OE6-export.csv").string();
  ASSERT_EQ(testsupport::RunCommand("iconv -f SHIFT_JIS -t UTF-8 " + testsupport::ShellQuote(csvPath), &csv), 0);
  auto rows = ParseCsv(csv);
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(rows[0].size(), rows[1].size());
  std::map<std::string, std::string> exported;
  for (std::size_t i = 0; i < rows[0].size(); ++i) exported[rows[0][i]] = rows[1][i];

  // The export's column for each reader key (its headings as they stand).
  const std::map<std::string, std::string> columns{
      {"Name", "名"}, {"Surname", "姓"}, {"MiddleName", "ミドル ネーム"},
      {"HomeEmail", "電子メール アドレス"}, {"HomeAddress", "自宅の番地"}, {"HomePhone", "自宅電話番号 :"},
      {"Fax", "自宅ファックス"}, {"CellPhone", "携帯電話 "}, {"BusinessAddress", "勤務先の番地"},
      {"City", "勤務先の市区町村"}, {"Postal", "勤務先の郵便番号"}, {"Province", "勤務先の都道府県"},
      {"Country", "勤務先の国または地域"}, {"CompanyURL", "ビジネス Web ページ"},
      {"BusinessPhone", "勤務先電話番号"}, {"BusinessFax", "勤務先ファックス"}, {"CompanyName", "会社名"},
      {"Department", "部署名"}, {"OfficeLocation", "オフィスの場所 "}, {"Comment", "メモ"}};
  ASSERT_EQ(columns.size(), kReaderFieldKeys.size());

  wab::WabReader reader(1252);
  reader.Open(RealBook());
  auto contact = ReadContact(reader, 0);
  for (auto& [key, column] : columns) {
    ASSERT_TRUE(exported.count(column)) << column;
    std::string ours = contact[key];
    // The export writes line breaks as a bare LF; the book keeps CR LF.
    for (std::size_t p; (p = ours.find("\r\n")) != std::string::npos;) ours.replace(p, 2, "\n");
    EXPECT_EQ(ours, exported[column]) << key;
  }
}

// Every record copy of the real book, in file order, as the writer takes it.
struct RealCopies {
  tw::Book book;
  std::uint32_t recordAreaStart = 0;
};

RealCopies CopyRealBook(const wab::WabFile& file) {
  RealCopies out;
  std::uint64_t start = 0;
  for (const auto& t : file.Tables()) start = std::max<std::uint64_t>(start, std::uint64_t(t.offset) + t.allocated);
  out.recordAreaStart = static_cast<std::uint32_t>(start);
  std::uint64_t at = start;
  while (at < file.Bytes().size()) {
    std::string why;
    auto rec = file.ReadRecord(static_cast<std::uint32_t>(at), &why);
    if (!rec) ADD_FAILURE() << "record at " << at << ": " << why;
    if (!rec) break;
    tw::Record r{rec->recordId, rec->kind, rec->current, {}};
    for (const auto& p : rec->properties) {
      if (p.multiValued()) {
        std::vector<std::string> elements;
        for (std::uint32_t k = 0; k < p.count; ++k) elements.emplace_back(*p.Element(k));
        r.properties.push_back(tw::RawList(p.tag, std::move(elements)));
      } else {
        r.properties.push_back(tw::Raw(p.tag, std::string(p.data)));
      }
    }
    out.book.records.push_back(std::move(r));
    at += rec->size;
  }
  for (const auto& e : file.Records()) out.book.indexOrder.push_back(e.recordId);
  return out;
}

std::set<std::pair<std::string, std::uint32_t>> TextTable(const wab::WabFile& f, int t) {
  const auto& d = f.Tables()[t];
  std::set<std::pair<std::string, std::uint32_t>> out;
  for (std::uint32_t i = 0; i < d.count; ++i) {
    std::string_view e(f.Bytes().data() + d.offset + 68 * i, 68);
    std::size_t n = 0;
    while (n + 1 < 64 && !(e[n] == 0 && e[n + 1] == 0)) n += 2;
    std::uint32_t id = 0;
    for (int k = 3; k >= 0; --k) id = (id << 8) | static_cast<unsigned char>(e[64 + k]);
    out.emplace(std::string(e.substr(0, n)), id);
  }
  return out;
}

TEST(WabRealBook, WriterRecreatesItByteForByteAndDecodesIdentically) {
  const std::string original = testsupport::ReadFile(RealBook());
  const auto real = wab::WabFile::Parse(original);
  RealCopies copies = CopyRealBook(real);
  ASSERT_EQ(copies.book.records.size(), 40u);
  EXPECT_EQ(std::count_if(copies.book.records.begin(), copies.book.records.end(),
                          [](const tw::Record& r) { return !r.current; }),
            30);

  tw::Layout layout;
  const std::string rewritten = tw::WriteBook(copies.book, &layout);
  ASSERT_EQ(rewritten.size(), original.size());
  // Header with every descriptor and counter, the named-property map, the
  // record index and all 40 record copies come out exactly as Windows wrote them.
  EXPECT_EQ(rewritten.substr(0, 0x94), original.substr(0, 0x94));
  EXPECT_EQ(rewritten.substr(0xA4, 0x1DE), original.substr(0xA4, 0x1DE));
  EXPECT_EQ(rewritten.substr(0x8A4, 10 * 8), original.substr(0x8A4, 10 * 8));
  EXPECT_EQ(layout.recordAreaStart, copies.recordAreaStart);
  EXPECT_TRUE(rewritten.compare(layout.recordAreaStart, std::string::npos, original, copies.recordAreaStart,
                                std::string::npos) == 0);
  // The sort indexes hold the same texts for the same records (Windows
  // sorts them by its own collation and leaves garbage after each text).
  const auto again = wab::WabFile::Parse(rewritten);
  for (int t = 1; t < 6; ++t) EXPECT_EQ(TextTable(again, t), TextTable(real, t)) << "table " << t;

  wab::WabReader a(1252), b(1252);
  a.OpenBytes(original, "original");
  b.OpenBytes(rewritten, "rewritten");
  ASSERT_EQ(a.GetCount(), b.GetCount());
  for (int i = 0; i < a.GetCount(); ++i) EXPECT_EQ(ReadContact(a, i), ReadContact(b, i)) << i;
}

}  // namespace
