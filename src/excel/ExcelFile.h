// ExcelFile: a streaming writer of one-sheet BIFF 2.1 workbooks (.xls).
//
// Every operation appends its record to the open file at once, in call
// order; the writer keeps no model of the sheet. A finished file holds:
// BOF, CODEPAGE, FORMATCOUNT, the 24 default FORMAT records, then every
// record of the caller's calls (an XF record is added just before the first
// cell that uses each combination of font, number format, alignment and
// locked/hidden bits), then HORIZONTALPAGEBREAKS if any, then EOF.
//
// Operations never throw; each returns a Status:
//   0   success, or nothing to do
//   6   overflow: a value does not fit its field (including a text of more
//       than 255 bytes in the code page, and a 65th distinct cell format)
//   13  type mismatch: value cannot be read as the kind ValueType asks for
//   52  bad file number: no open file
//   94  invalid use of null
//   57, 61, 67, 70, 75, 76  the file system failed (see status:: below)
// An operation whose argument checks fail writes nothing.
//
// Output is buffered and goes to a temporary file beside the target;
// CloseFile renames it into place. An existing file of that name stays as it
// was until then, and a writer dropped or failing before CloseFile leaves no
// file behind. A write failure is reported by the operation during which it
// happens, by every later write, and by CloseFile.
//
// Texts are UTF-8 and are written in one ANSI code page: by default the one
// Windows uses for the user's locale (codepage::SystemAnsiCodePage()); the
// CODEPAGE record names it. A character the page lacks becomes "?".
//
// Rows and columns are numbered from 1 (1..65536); the file holds indexes
// from 0. Not thread-safe: one object, one thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage/AnsiEncoder.h"
#include "platform/os/OutputFile.h"
#include "excel/Value.h"

namespace excel {

// The statuses, with their texts, are the system layer's (platform/os/Status.h).
namespace status = ::status;

// ValueType of WriteValue. Any other value writes nothing and returns 0.
inline constexpr std::int32_t kIntegerValue = 0;
inline constexpr std::int32_t kNumberValue = 1;
inline constexpr std::int32_t kTextValue = 2;

// CellFontUsed for fonts 0..3, in the order SetFont defined them.
constexpr std::int32_t CellFont(int index) { return index << 6; }

// Alignment bits.
inline constexpr std::int32_t kAlignGeneral = 0, kAlignLeft = 1, kAlignCentre = 2,
                              kAlignRight = 3, kAlignFill = 4;
inline constexpr std::int32_t kBorderLeft = 8, kBorderRight = 16, kBorderTop = 32,
                              kBorderBottom = 64, kShaded = 128;

// HiddenLocked bits.
inline constexpr std::int32_t kCellLocked = 64, kFormulaHidden = 128;

// Record identifiers of the margins, for SetMargin.
inline constexpr std::int32_t kLeftMargin = 0x26, kRightMargin = 0x27, kTopMargin = 0x28,
                              kBottomMargin = 0x29;

class ExcelFile {
 public:
  enum class State { New, Open, Closed };

  // Texts go out in the user's ANSI code page.
  ExcelFile();
  // Texts go out in codePage (a Windows code page number such as 1252, 1251,
  // 932). A page iconv cannot convert to is replaced by 1252.
  explicit ExcelFile(int codePage);
  // Dropping an open writer discards its unfinished file.
  ~ExcelFile() = default;
  ExcelFile(const ExcelFile&) = delete;
  ExcelFile& operator=(const ExcelFile&) = delete;

  // Starts a new file (from any state; an unfinished earlier file is
  // discarded) and writes BOF, CODEPAGE and the default formats. If the file
  // cannot be created the status says why, and later writes and CloseFile
  // return 52.
  Status CreateFile(const std::string& FileName);
  // Whether CloseFile may replace a file that has the name by then (the
  // default); when not, CloseFile returns kFileExists and leaves it.
  void setReplaceExisting(bool replace) { existing_ = replace ? Existing::Replace : Existing::Keep; }

  // Writes the page breaks and EOF and puts the file in place. 0 and nothing
  // done on a new object; 52 when already closed. Any write failure since
  // CreateFile is returned here, and then no file is left under the name.
  Status CloseFile();

  // Adds a page break above row lrow (1-based); written by CloseFile, sorted.
  // Works in every state; at most 16382 breaks (then 6).
  Status InsertHorizPageBreak(std::int32_t lrow);

  // Writes one cell. ValueType: kIntegerValue, kNumberValue or kTextValue.
  // CellFontUsed: CellFont(0..3). Alignment: alignment and border bits.
  // HiddenLocked: kCellLocked | kFormulaHidden. CellFormat: index 0..63 of
  // a number format (0..23 are the default ones). Whole numbers 0..65535 go
  // out as INTEGER cells, negative ones (down to -32768) as NUMBER cells.
  Status WriteValue(std::int32_t ValueType, std::int32_t CellFontUsed, std::int32_t Alignment,
                    std::int32_t HiddenLocked, std::int32_t lrow, std::int32_t lcol,
                    const Value& value, std::int32_t CellFormat);

  // Margin: kLeftMargin .. kBottomMargin (any 16-bit identifier is written);
  // MarginValue in inches.
  Status SetMargin(std::int32_t Margin, double MarginValue);

  // Columns FirstColumn..LastColumn (1..255) get WidthValue (-128..127)
  // characters.
  Status SetColumnWidth(std::int32_t FirstColumn, std::int32_t LastColumn,
                        std::int32_t WidthValue);

  // Defines the next font (0, 1, 2, ...). FontHeight in points
  // (-1638..1638); FontFormat: 1 bold, 2 italic, 4 underlined, 8 struck out.
  Status SetFont(std::string_view FontName, std::int32_t FontHeight, std::int32_t FontFormat);

  Status SetHeader(std::string_view HeaderText);
  Status SetFooter(std::string_view FooterText);

  // Writes a FILEPASS record holding the password as it stands (up to 32767
  // bytes). Readers then take the file for an encrypted one.
  Status SetFilePassword(std::string_view PasswordText);

  // Write-only settings: they write their record and report nothing.
  void PrintGridLines(bool newvalue);
  void ProtectSpreadsheet(bool newvalue);

  // Writes FORMATCOUNT and the 24 default FORMAT records; CreateFile does.
  Status WriteDefaultFormats();

  // The two bytes of x, low byte first.
  static std::string MKI(std::int16_t x);

  // HeightValue in points (-1638..1638).
  Status SetDefaultRowHeight(std::int32_t HeightValue);
  Status SetRowHeight(std::int32_t lrow, std::int32_t HeightValue);

  // The code page of the next CreateFile; the open file keeps its own.
  int codePage() const { return codePage_; }
  void setCodePage(int codePage);
  State state() const { return state_; }

 private:
  Status BeginRecord() const;
  Status Finish() const { return out_.error(); }
  void Put(const void* data, std::size_t n) { out_.Append(data, n); }
  Status WriteTextRecord(std::uint16_t id, std::string_view utf8, std::size_t maxBytes);
  Status WriteFlagRecord(std::uint16_t id, bool flag);
  Status WriteLabel(std::uint16_t row, std::uint16_t col, std::int32_t HiddenLocked,
                    std::int64_t attr2, std::int32_t Alignment, bool attributesFit,
                    const Value& value);
  Status FindOrAddXf(std::uint8_t font, std::uint8_t formatAndProtection, std::uint8_t alignment,
                     std::uint8_t* index);

  int codePage_;
  codepage::AnsiEncoder encoder_;
  OutputFile out_;
  Existing existing_ = Existing::Replace;
  State state_ = State::New;
  std::vector<std::uint16_t> pageBreaks_;
  // XF records written to the current file, as font << 16 | format << 8 | alignment.
  std::vector<std::uint32_t> xfs_;
  std::uint32_t lastXfKey_ = 0xFFFFFFFF;
  std::uint8_t lastXfIndex_ = 0;
  std::string scratch_;  // encoded text of the record being written
  std::string numberText_;
};

}  // namespace excel
