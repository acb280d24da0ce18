#include "ContactRecord.h"

#include <string>

#include "platform/automation/AddressBookReader.h"

namespace scan {
namespace {

// Every record position is filled by exactly one read.
constexpr bool ReadsFillTheRecord() {
  std::array<bool, kRecordFieldCount> filled{};
  for (int p : kRecordPositionOfRead) {
    if (p < 0 || filled[p]) return false;
    filled[p] = true;
  }
  return true;
}
static_assert(ReadsFillTheRecord(), "the scan must read each record field once");

constexpr bool RecordHoldsEveryDesignedField() {
  for (std::size_t k = 0; k < automation::kDesignedFieldCount; ++k)
    if (RecordPositionOf(static_cast<automation::ReaderField>(k)) < 0) return false;
  return true;
}
static_assert(RecordHoldsEveryDesignedField(), "the record must show every designed field");

}  // namespace

std::string EncodeField(const std::string& value) {
  if (value.find_first_of("|\x1B") == std::string::npos) return value;
  std::string out;
  out.reserve(value.size() + 8);
  for (char c : value) {
    if (c == kSeparator) {
      out += kEscape;
      out += 'p';
    } else if (c == kEscape) {
      out += kEscape;
      out += 'e';
    } else {
      out += c;
    }
  }
  return out;
}

std::string DecodeField(const std::string& stored) {
  if (stored.find(kEscape) == std::string::npos) return stored;
  std::string out;
  out.reserve(stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const char c = stored[i];
    if (c == kEscape && i + 1 < stored.size()) {
      const char next = stored[i + 1];
      if (next == 'p') {
        out += kSeparator;
        ++i;
        continue;
      }
      if (next == 'e') {
        out += kEscape;
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::string JoinRecord(const std::vector<std::string>& values) {
  std::string record;
  for (int i = 0; i < kRecordFieldCount; ++i) {
    if (i > 0) record += kSeparator;
    if (static_cast<std::size_t>(i) < values.size()) record += EncodeField(values[i]);
  }
  return record;
}

std::vector<std::string> SplitRecord(const std::string& record) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t bar = record.find(kSeparator, begin);
    parts.push_back(DecodeField(record.substr(begin, bar == std::string::npos ? std::string::npos : bar - begin)));
    if (bar == std::string::npos) break;
    begin = bar + 1;
  }
  return parts;
}

std::vector<std::string> ReadContactFields(automation::AddressBookReader& reader) {
  std::vector<std::string> record(kRecordFieldCount);
  for (int r = 0; r < kRecordFieldCount; ++r)
    record[kRecordPositionOfRead[r]] = reader.GetValue(std::string(automation::Key(kScanReadOrder[r])));
  return record;
}

}  // namespace scan
