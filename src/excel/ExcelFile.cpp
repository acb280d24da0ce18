#include "excel/ExcelFile.h"
#include "platform/os/LittleEndian.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/codepage/CodePage.h"

namespace excel {
namespace {

using status::kBadFileNumber;
using status::kOk;
using status::kOverflow;

constexpr std::uint16_t kBof = 0x0009;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kInteger = 0x0002;
constexpr std::uint16_t kNumber = 0x0003;
constexpr std::uint16_t kLabel = 0x0004;
constexpr std::uint16_t kRow = 0x0008;
constexpr std::uint16_t kProtect = 0x0012;
constexpr std::uint16_t kHeader = 0x0014;
constexpr std::uint16_t kFooter = 0x0015;
constexpr std::uint16_t kPageBreaks = 0x001B;
constexpr std::uint16_t kFormat = 0x001E;
constexpr std::uint16_t kFormatCount = 0x001F;
constexpr std::uint16_t kColWidth = 0x0024;
constexpr std::uint16_t kDefaultRowHeight = 0x0025;
constexpr std::uint16_t kPrintGridLines = 0x002B;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kFont = 0x0031;
constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kXf = 0x0043;

constexpr std::size_t kMaxText = 255;
constexpr std::size_t kMaxXfs = 64;           // the cell's XF index has six bits
constexpr std::size_t kMaxPageBreaks = 16382;  // 2n + 2 must fit a signed 16-bit length

// The default number formats, index 0 first, exactly as written.
constexpr std::array<std::string_view, 24> kDefaultFormats{{
    R"(General)",
    R"(0)",
    R"(0.00)",
    R"(#,##0)",
    R"(#,##0.00)",
    R"(#,##0\ "$";\-#,##0\ "$")",
    R"(#,##0\ "$";[Red]\-#,##0\ "$")",
    R"(#,##0.00\ "$";\-#,##0.00\ "$")",
    R"(#,##0.00\ "$";[Red]\-#,##0.00\ "$")",
    R"(0%)",
    R"(0.00%)",
    R"(0.00E+00)",
    R"(dd/mm/yy)",
    R"(dd/\ mmm\ yy)",
    R"(dd/\ mmm)",
    R"(mmm\ yy)",
    R"(h:mm\ AM/PM)",
    R"(h:mm:ss\ AM/PM)",
    R"(hh:mm)",
    R"(hh:mm:ss)",
    R"(dd/mm/yy\ hh:mm)",
    R"(##0.0E+0)",
    R"(mm:ss)",
    R"(@)",
}};

inline void LeDouble(unsigned char* p, double d) {
  std::uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

inline void Header(unsigned char* p, std::uint16_t id, std::uint16_t length) {
  le::Put16(p, id);
  le::Put16(p + 2, length);
}

bool InByte(std::int64_t v) { return v >= 0 && v <= 255; }
bool InInt16(std::int64_t v) { return v >= -32768 && v <= 32767; }

// A 1-based row or column number as the 0-based index the file holds.
bool ToIndex(std::int32_t number, std::uint16_t* index) {
  if (number < 1 || number > 65536) return false;
  *index = static_cast<std::uint16_t>(number - 1);
  return true;
}

std::uint32_t XfKey(std::uint8_t font, std::uint8_t formatAndProtection, std::uint8_t alignment) {
  return std::uint32_t{font} << 16 | std::uint32_t{formatAndProtection} << 8 | alignment;
}

int UsablePage(int codePage) { return codepage::IsSupported(codePage) ? codePage : 1252; }

}  // namespace

ExcelFile::ExcelFile() : ExcelFile(codepage::SystemAnsiCodePage()) {}

ExcelFile::ExcelFile(int codePage) : codePage_(UsablePage(codePage)), encoder_(codePage_) {}

void ExcelFile::setCodePage(int codePage) {
  codePage_ = UsablePage(codePage);
  if (state_ != State::Open && encoder_.codePage() != codePage_) encoder_ = codepage::AnsiEncoder(codePage_);
}

Status ExcelFile::BeginRecord() const {
  if (state_ != State::Open) return kBadFileNumber;
  return out_.error();
}

Status ExcelFile::CreateFile(const std::string& FileName) {
  if (state_ == State::Open) out_.Abandon();  // the earlier file was never finished
  if (Status s = out_.Open(FileName, existing_)) {
    state_ = State::Closed;
    return s;
  }
  state_ = State::Open;
  if (encoder_.codePage() != codePage_) encoder_ = codepage::AnsiEncoder(codePage_);
  xfs_.clear();
  lastXfKey_ = 0xFFFFFFFF;

  unsigned char rec[14];
  Header(rec, kBof, 4);
  le::Put16(rec + 4, 0x0002);  // BIFF 2
  le::Put16(rec + 6, 0x0010);  // worksheet
  // Readers need the code page to read the texts at all.
  Header(rec + 8, kCodePage, 2);
  le::Put16(rec + 12, static_cast<std::uint16_t>(encoder_.codePage()));
  Put(rec, sizeof rec);
  if (Status s = WriteDefaultFormats()) return s;
  pageBreaks_.clear();
  return Finish();
}

Status ExcelFile::WriteDefaultFormats() {
  if (Status s = BeginRecord()) return s;
  unsigned char rec[6];
  Header(rec, kFormatCount, 2);
  le::Put16(rec + 4, static_cast<std::uint16_t>(kDefaultFormats.size() - 1));  // highest index
  Put(rec, 6);
  for (std::string_view f : kDefaultFormats) {
    Header(rec, kFormat, static_cast<std::uint16_t>(f.size() + 1));
    rec[4] = static_cast<unsigned char>(f.size());
    Put(rec, 5);
    Put(f.data(), f.size());
  }
  return Finish();
}

Status ExcelFile::CloseFile() {
  if (state_ == State::New) return kOk;
  if (state_ == State::Closed) return kBadFileNumber;
  state_ = State::Closed;
  if (out_.error()) {
    out_.Abandon();
    return out_.error();
  }
  if (!pageBreaks_.empty()) {
    std::sort(pageBreaks_.begin(), pageBreaks_.end());
    const auto n = static_cast<std::uint16_t>(pageBreaks_.size());
    unsigned char rec[6];
    Header(rec, kPageBreaks, static_cast<std::uint16_t>(2 * n + 2));
    le::Put16(rec + 4, n);
    Put(rec, 6);
    for (std::uint16_t row : pageBreaks_) Put(MKI(static_cast<std::int16_t>(row)).data(), 2);
  }
  unsigned char eof[4];
  Header(eof, kEof, 0);
  Put(eof, 4);
  return out_.Commit();
}

Status ExcelFile::InsertHorizPageBreak(std::int32_t lrow) {
  std::uint16_t row;
  if (!ToIndex(lrow, &row)) return kOverflow;
  if (pageBreaks_.size() >= kMaxPageBreaks) return kOverflow;
  pageBreaks_.push_back(row);
  return kOk;
}

Status ExcelFile::FindOrAddXf(std::uint8_t font, std::uint8_t formatAndProtection,
                              std::uint8_t alignment, std::uint8_t* index) {
  const std::uint32_t key = XfKey(font, formatAndProtection, alignment);
  if (key == lastXfKey_) {
    *index = lastXfIndex_;
    return kOk;
  }
  auto it = std::find(xfs_.begin(), xfs_.end(), key);
  if (it == xfs_.end()) {
    if (xfs_.size() >= kMaxXfs) return kOverflow;
    unsigned char rec[8];
    Header(rec, kXf, 4);
    rec[4] = font;
    rec[5] = 0;
    rec[6] = formatAndProtection;
    rec[7] = alignment;
    Put(rec, sizeof rec);
    it = xfs_.insert(xfs_.end(), key);
  }
  lastXfKey_ = key;
  lastXfIndex_ = static_cast<std::uint8_t>(it - xfs_.begin());
  *index = lastXfIndex_;
  return kOk;
}

Status ExcelFile::WriteValue(std::int32_t ValueType, std::int32_t CellFontUsed,
                             std::int32_t Alignment, std::int32_t HiddenLocked, std::int32_t lrow,
                             std::int32_t lcol, const Value& value, std::int32_t CellFormat) {
  std::uint16_t row, col;
  if (!ToIndex(lrow, &row) || !ToIndex(lcol, &col)) return kOverflow;
  const std::int64_t attr2 = std::int64_t{CellFormat} + CellFontUsed;
  const bool attributesFit = InByte(HiddenLocked) && InByte(attr2) && InByte(Alignment);

  unsigned char rec[19];
  std::size_t size = 0;
  std::int32_t whole = 0;
  double real = 0;
  switch (ValueType) {
    case kIntegerValue:
      if (!attributesFit) return kOverflow;
      if (Status s = value.ToWholeNumber(&whole)) return s;
      if (whole >= 0) {
        // Readers take INTEGER cells as unsigned.
        Header(rec, kInteger, 9);
        le::Put16(rec + 11, static_cast<std::uint16_t>(whole));
        size = 13;
      } else {
        Header(rec, kNumber, 15);
        LeDouble(rec + 11, whole);
        size = 19;
      }
      break;
    case kNumberValue:
      if (!attributesFit) return kOverflow;
      if (Status s = value.ToReal(&real)) return s;
      Header(rec, kNumber, 15);
      LeDouble(rec + 11, real);
      size = 19;
      break;
    case kTextValue:
      return WriteLabel(row, col, HiddenLocked, attr2, Alignment, attributesFit, value);
    default:
      return kOk;
  }
  if (Status s = BeginRecord()) return s;

  const auto a1 = static_cast<std::uint8_t>(HiddenLocked);
  const auto a2 = static_cast<std::uint8_t>(attr2);
  const auto a3 = static_cast<std::uint8_t>(Alignment);
  std::uint8_t xf = 0;
  if (Status s = FindOrAddXf(a2 >> 6, (a2 & 0x3F) | (a1 & 0xC0), a3, &xf)) return s;

  le::Put16(rec + 4, row);
  le::Put16(rec + 6, col);
  rec[8] = static_cast<unsigned char>(xf | (a1 & 0xC0));
  rec[9] = a2;
  rec[10] = a3;
  Put(rec, size);
  return Finish();
}

// The cell the export writes 700,000 times: the text goes from UTF-8 straight
// into the output buffer, behind the record header.
Status ExcelFile::WriteLabel(std::uint16_t row, std::uint16_t col, std::int32_t HiddenLocked,
                             std::int64_t attr2, std::int32_t Alignment, bool attributesFit,
                             const Value& value) {
  std::string_view text;
  if (const std::string_view* t = value.text()) text = *t;
  else if (Status s = value.ToText(&text, numberText_)) return s;
  if (Status s = BeginRecord()) {
    // Nothing can be written; the argument checks still come first.
    if (!encoder_.Encode(text, kMaxText, scratch_) || !attributesFit) return kOverflow;
    return s;
  }
  constexpr std::size_t kXfSize = 8, kHeaderSize = 12;
  char* p = out_.Reserve(kXfSize + kHeaderSize + kMaxText);
  const std::size_t n = encoder_.EncodeTo(text, p + kHeaderSize, kMaxText);
  if (n == codepage::AnsiEncoder::kTooLong || !attributesFit) return kOverflow;

  const auto a1 = static_cast<std::uint8_t>(HiddenLocked);
  const auto a2 = static_cast<std::uint8_t>(attr2);
  const auto a3 = static_cast<std::uint8_t>(Alignment);
  std::size_t start = 0;
  std::uint8_t xf = lastXfIndex_;
  const std::uint32_t key = XfKey(a2 >> 6, (a2 & 0x3F) | (a1 & 0xC0), a3);
  if (key != lastXfKey_) {
    auto it = std::find(xfs_.begin(), xfs_.end(), key);
    if (it == xfs_.end()) {
      if (xfs_.size() >= kMaxXfs) return kOverflow;
      // The first cell of this kind: its XF record goes first.
      std::memmove(p + kXfSize + kHeaderSize, p + kHeaderSize, n);
      auto* x = reinterpret_cast<unsigned char*>(p);
      Header(x, kXf, 4);
      x[4] = a2 >> 6;
      x[5] = 0;
      x[6] = (a2 & 0x3F) | (a1 & 0xC0);
      x[7] = a3;
      it = xfs_.insert(xfs_.end(), key);
      start = kXfSize;
    }
    lastXfKey_ = key;
    lastXfIndex_ = xf = static_cast<std::uint8_t>(it - xfs_.begin());
  }
  unsigned char rec[kHeaderSize];
  Header(rec, kLabel, static_cast<std::uint16_t>(n + 8));
  le::Put16(rec + 4, row);
  le::Put16(rec + 6, col);
  rec[8] = static_cast<unsigned char>(xf | (a1 & 0xC0));
  rec[9] = a2;
  rec[10] = a3;
  rec[11] = static_cast<unsigned char>(n);
  std::memcpy(p + start, rec, kHeaderSize);
  out_.Advance(start + kHeaderSize + n);
  return Finish();
}

Status ExcelFile::SetMargin(std::int32_t Margin, double MarginValue) {
  if (!InInt16(Margin)) return kOverflow;
  if (Status s = BeginRecord()) return s;
  unsigned char rec[12];
  Header(rec, static_cast<std::uint16_t>(static_cast<std::int16_t>(Margin)), 8);
  LeDouble(rec + 4, MarginValue);
  Put(rec, sizeof rec);
  return Finish();
}

Status ExcelFile::SetColumnWidth(std::int32_t FirstColumn, std::int32_t LastColumn,
                                 std::int32_t WidthValue) {
  if (FirstColumn < 1 || FirstColumn > 255 || LastColumn < 1 || LastColumn > 255)
    return kOverflow;
  if (!InInt16(std::int64_t{WidthValue} * 256)) return kOverflow;
  if (Status s = BeginRecord()) return s;
  unsigned char rec[8];
  Header(rec, kColWidth, 4);
  rec[4] = static_cast<unsigned char>(FirstColumn - 1);
  rec[5] = static_cast<unsigned char>(LastColumn - 1);
  le::Put16(rec + 6, static_cast<std::uint16_t>(WidthValue * 256));
  Put(rec, sizeof rec);
  return Finish();
}

Status ExcelFile::SetFont(std::string_view FontName, std::int32_t FontHeight,
                          std::int32_t FontFormat) {
  if (!encoder_.Encode(FontName, kMaxText, scratch_)) return kOverflow;
  if (!InInt16(std::int64_t{FontHeight} * 20)) return kOverflow;
  if (!InByte(FontFormat)) return kOverflow;
  if (Status s = BeginRecord()) return s;
  unsigned char rec[9];
  Header(rec, kFont, static_cast<std::uint16_t>(scratch_.size() + 5));
  le::Put16(rec + 4, static_cast<std::uint16_t>(FontHeight * 20));
  rec[6] = static_cast<unsigned char>(FontFormat);
  rec[7] = 0;
  rec[8] = static_cast<unsigned char>(scratch_.size());
  Put(rec, sizeof rec);
  Put(scratch_.data(), scratch_.size());
  return Finish();
}

Status ExcelFile::WriteTextRecord(std::uint16_t id, std::string_view utf8, std::size_t maxBytes) {
  if (!encoder_.Encode(utf8, maxBytes, scratch_)) return kOverflow;
  if (Status s = BeginRecord()) return s;
  unsigned char rec[5];
  if (id == kFilePass) {  // the bare bytes, no length byte
    Header(rec, id, static_cast<std::uint16_t>(scratch_.size()));
    Put(rec, 4);
  } else {
    Header(rec, id, static_cast<std::uint16_t>(scratch_.size() + 1));
    rec[4] = static_cast<unsigned char>(scratch_.size());
    Put(rec, 5);
  }
  Put(scratch_.data(), scratch_.size());
  return Finish();
}

Status ExcelFile::SetHeader(std::string_view HeaderText) {
  return WriteTextRecord(kHeader, HeaderText, kMaxText);
}

Status ExcelFile::SetFooter(std::string_view FooterText) {
  return WriteTextRecord(kFooter, FooterText, kMaxText);
}

Status ExcelFile::SetFilePassword(std::string_view PasswordText) {
  return WriteTextRecord(kFilePass, PasswordText, 32767);
}

Status ExcelFile::WriteFlagRecord(std::uint16_t id, bool flag) {
  if (Status s = BeginRecord()) return s;
  unsigned char rec[6];
  Header(rec, id, 2);
  le::Put16(rec + 4, flag ? 1 : 0);
  Put(rec, sizeof rec);
  return Finish();
}

void ExcelFile::PrintGridLines(bool newvalue) { WriteFlagRecord(kPrintGridLines, newvalue); }

void ExcelFile::ProtectSpreadsheet(bool newvalue) { WriteFlagRecord(kProtect, newvalue); }

std::string ExcelFile::MKI(std::int16_t x) {
  const auto u = static_cast<std::uint16_t>(x);
  return std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
}

Status ExcelFile::SetDefaultRowHeight(std::int32_t HeightValue) {
  if (!InInt16(std::int64_t{HeightValue} * 20)) return kOverflow;
  if (Status s = BeginRecord()) return s;
  unsigned char rec[6];
  Header(rec, kDefaultRowHeight, 2);
  le::Put16(rec + 4, static_cast<std::uint16_t>(HeightValue * 20));
  Put(rec, sizeof rec);
  return Finish();
}

Status ExcelFile::SetRowHeight(std::int32_t lrow, std::int32_t HeightValue) {
  std::uint16_t row;
  if (!ToIndex(lrow, &row)) return kOverflow;
  if (!InInt16(std::int64_t{HeightValue} * 20)) return kOverflow;
  if (Status s = BeginRecord()) return s;
  unsigned char rec[20] = {};
  Header(rec, kRow, 16);
  le::Put16(rec + 4, row);
  le::Put16(rec + 6, 0);       // first column
  le::Put16(rec + 8, 0x0100);  // last column + 1
  le::Put16(rec + 10, static_cast<std::uint16_t>(HeightValue * 20));
  Put(rec, sizeof rec);
  return Finish();
}

}  // namespace excel
