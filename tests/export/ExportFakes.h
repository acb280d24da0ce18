// Recording stand-ins for the reader component and the spreadsheet writer.
// Both write into one log, so a test sees how their calls interleave.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "export/SheetWriter.h"
#include "platform/automation/AddressBookReader.h"

namespace exporttest {

using Log = std::vector<std::string>;
using Contact = std::map<std::string, std::string>;

class RecordingReader : public automation::AddressBookReader {
 public:
  explicit RecordingReader(Log* log = nullptr) : log_(log) {}

  std::vector<Contact> contacts;
  std::optional<std::int32_t> countOverride;  // GetCount without that many contacts
  bool failOpen = false;
  std::optional<std::int32_t> failSelectAt;

  void Open(const std::string& path) override {
    Note("Open(" + path + ")");
    if (failOpen) throw automation::AutomationError("cannot open " + path);
  }
  std::int32_t GetCount() override {
    Note("GetCount");
    return countOverride ? *countOverride : static_cast<std::int32_t>(contacts.size());
  }
  void Select(std::int32_t index) override {
    Note("Select(" + std::to_string(index) + ")");
    if (failSelectAt && *failSelectAt == index)
      throw automation::AutomationError("record " + std::to_string(index) + " is damaged");
    current_ = index;
  }
  std::string GetValue(const std::string& key) override {
    Note("GetValue(" + key + ")");
    if (current_ < 0 || current_ >= static_cast<std::int32_t>(contacts.size())) return {};
    auto& c = contacts[current_];
    auto it = c.find(key);
    return it == c.end() ? std::string() : it->second;
  }

 private:
  void Note(std::string s) {
    if (log_) log_->push_back(std::move(s));
  }
  Log* log_;
  std::int32_t current_ = -1;
};

class RecordingWriter : public exports::SheetWriter {
 public:
  explicit RecordingWriter(Log* log = nullptr, int codePage = 1252) : log_(log), codePage_(codePage) {}

  // The call (counting from 0) that fails, and with which status.
  std::optional<std::size_t> failCall;
  std::int16_t failStatus = exports::kStatusFileAccess;
  std::size_t calls = 0;
  std::size_t cells = 0;
  bool keepValues = true;  // off for big books
  // Every WriteValue's text, by row and column.
  std::map<std::pair<std::int32_t, std::int32_t>, std::string> values;

  int CodePage() const override { return codePage_; }
  std::int16_t CreateFile(const std::string& FileName) override {
    return Note("CreateFile(" + FileName + ")");
  }
  std::int16_t SetFont(const std::string& FontName, std::int16_t FontHeight, std::int32_t FontFormat) override {
    return Note("SetFont(" + FontName + "," + std::to_string(FontHeight) + "," + std::to_string(FontFormat) + ")");
  }
  std::int16_t SetHeader(const std::string& HeaderText) override { return Note("SetHeader(" + HeaderText + ")"); }
  std::int16_t WriteValue(std::int32_t ValueType, std::int32_t CellFontUsed, std::int32_t Alignment,
                          std::int32_t HiddenLocked, std::int32_t lrow, std::int32_t lcol,
                          const std::string& value, std::int32_t CellFormat) override {
    ++cells;
    if (keepValues) values[{lrow, lcol}] = value;
    if (!log_ && !failCall) return exports::kStatusOk;
    return Note("WriteValue(" + std::to_string(ValueType) + "," + std::to_string(CellFontUsed) + "," +
                std::to_string(Alignment) + "," + std::to_string(HiddenLocked) + "," + std::to_string(lrow) +
                "," + std::to_string(lcol) + "," + value + "," + std::to_string(CellFormat) + ")");
  }
  std::int16_t CloseFile() override { return Note("CloseFile"); }
  void Abandon() override { Note("Abandon"); }

 private:
  std::int16_t Note(std::string s) {
    if (log_) log_->push_back(std::move(s));
    return failCall && calls++ == *failCall ? failStatus : exports::kStatusOk;
  }
  Log* log_;
  int codePage_;
};

}  // namespace exporttest
