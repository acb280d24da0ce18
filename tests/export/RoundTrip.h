// Helpers of the round-trip tests: run addrivo-convert, read the file back
// with xlrd or Gnumeric, and build the sheet the file must hold.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage/CodePage.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace roundtrip {

using testsupport::RunCommand;
using testsupport::ShellQuote;
using Lines = std::vector<std::string>;
using Table = std::vector<std::vector<std::string>>;
namespace fs = std::filesystem;


inline const char* const kHeadings[21] = {
    "First Name", "Middle Name", "Last Name", "Email", "Company", "Location", "Website", "Department",
    "Business Street Address", "Business City", "Business Zip/Postal Code", "Business State",
    "Business Country", "Business Phone Number", "Business FAX", "Mobile Phone",
    "Personal Street Address", "Personal Country", "Personal Phone Number", "Personal FAX", "Comments"};
// Reader key index (kReaderFieldKeys order) of each column; -1: the home
// country, which generated books do not hold.
inline const int kColumnKey[21] = {0, 1, 2, 3, 4, 10, 11, 12, 5, 6, 7, 8, 9, 13, 14, 18, 15, -1, 16, 17, 19};

inline std::string Tool() { return std::string(ADDRIVO_BINARY_DIR) + "/bin/addrivo-convert"; }

struct ToolRun {
  int rc;
  std::string out, err;
};

inline ToolRun Convert(const fs::path& book, const fs::path& dir, const std::string& locale = "C.UTF-8",
                       const std::string& options = "") {
  testsupport::TempDir scratch;
  ToolRun r;
  r.rc = RunCommand("env -u LANG -u LC_CTYPE LC_ALL=" + locale + " " + Tool() + " xls " + options +
                        ShellQuote(book.string()) + " " + ShellQuote(dir.string()) + " 2>" +
                        ShellQuote((scratch / "err").string()),
                    &r.out);
  r.err = testsupport::ReadFile(scratch / "err");
  return r;
}

inline std::string Escape(const std::string& v) {
  std::string out;
  for (char c : v) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

// What a reader shows for a value written in codePage: characters the page
// lacks as "?", at most 255 bytes.
inline std::string AsStored(const std::string& v, int codePage) {
  return codepage::ToUtf8(codepage::FromUtf8(v, codePage, 255).bytes, codePage);
}

// The heading row and one row per contact, as the sheet must hold them.
inline Table ExpectedSheet(const std::vector<std::array<std::string, 20>>& contacts, int codePage) {
  Table t;
  t.emplace_back(std::begin(kHeadings), std::end(kHeadings));
  for (auto& c : contacts) {
    std::vector<std::string> row;
    for (int col = 0; col < 21; ++col)
      row.push_back(kColumnKey[col] < 0 ? std::string() : AsStored(c[kColumnKey[col]], codePage));
    t.push_back(row);
  }
  return t;
}

struct Dump {
  std::map<std::string, std::string> facts;
  Lines rows;
};

inline Dump ReadBack(const std::string& reader, const fs::path& xls) {
  std::string out;
  const int rc = RunCommand("/usr/bin/python3 " + ShellQuote(std::string(ADDRIVO_SOURCE_DIR) +
                                                             "/tests/export/xls_dump.py") +
                                " " + reader + " " + ShellQuote(xls.string()) + " 2>&1",
                            &out);
  EXPECT_EQ(rc, 0) << reader << ": " << out;
  Dump d;
  std::istringstream in(out);
  std::string line;
  // Facts ("key=value") come first; every row holds tabs between its cells.
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (d.rows.empty() && line.find('\t') == std::string::npos && eq != std::string::npos)
      d.facts[line.substr(0, eq)] = line.substr(eq + 1);
    else
      d.rows.push_back(line);
  }
  return d;
}

// Gnumeric drops nothing, or (cutRows) only what lies past its last row.
inline void ExpectNoRecordDropped(const Dump& d, bool cutRows = false) {
  if (!d.facts.count("warnings")) return;  // not Gnumeric
  if (cutRows)
    EXPECT_EQ(d.facts.at("warnings"), d.facts.at("rows_cut_warnings"));
  else
    EXPECT_EQ(d.facts.at("warnings"), "0");
}

// Size and fonts of the sheet.
inline void ExpectShape(const Dump& d, std::size_t rows, const std::string& reader) {
  EXPECT_EQ(d.facts.at("rows"), std::to_string(rows)) << reader;
  EXPECT_EQ(d.facts.at("cols"), "21") << reader;
  EXPECT_EQ(d.facts.at("heading_font"), "Verdana/11/bold") << reader;
  if (rows > 1) {
    EXPECT_EQ(d.facts.at("data_font"), "Verdana/10/plain") << reader;
  }
}

inline std::string RowLine(const std::vector<std::string>& row) {
  std::string line;
  for (std::size_t c = 0; c < row.size(); ++c) line += (c ? "\t" : "") + Escape(row[c]);
  return line;
}

inline void ExpectSheet(const Dump& d, const Table& expected, const std::string& reader) {
  ExpectNoRecordDropped(d);
  ExpectShape(d, expected.size(), reader);
  ASSERT_EQ(d.rows.size(), expected.size()) << reader;
  for (std::size_t r = 0; r < expected.size(); ++r) EXPECT_EQ(d.rows[r], RowLine(expected[r])) << reader << ", row " << r;
}

inline std::vector<std::array<std::string, 20>> GeneratedValues(std::size_t n) {
  std::vector<std::array<std::string, 20>> v;
  for (std::size_t i = 0; i < n; ++i) v.push_back(testsupport::GeneratedContactValues(i));
  return v;
}

}  // namespace roundtrip
