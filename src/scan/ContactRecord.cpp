#include "ContactRecord.h"

#include <string>

#include "platform/automation/AddressBookReader.h"

namespace scan {

QString EncodeField(const QString& value) {
  if (!value.contains(kSeparator) && !value.contains(kEscape)) return value;
  QString out;
  out.reserve(value.size() + 8);
  for (QChar c : value) {
    if (c == kSeparator) {
      out += kEscape;
      out += u'p';
    } else if (c == kEscape) {
      out += kEscape;
      out += u'e';
    } else {
      out += c;
    }
  }
  return out;
}

QString DecodeField(const QString& stored) {
  if (!stored.contains(kEscape)) return stored;
  QString out;
  out.reserve(stored.size());
  for (qsizetype i = 0; i < stored.size(); ++i) {
    const QChar c = stored[i];
    if (c == kEscape && i + 1 < stored.size()) {
      const QChar next = stored[i + 1];
      if (next == u'p') {
        out += kSeparator;
        ++i;
        continue;
      }
      if (next == u'e') {
        out += kEscape;
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

QString JoinRecord(const QStringList& values) {
  QString record;
  for (int i = 0; i < kRecordFieldCount; ++i) {
    if (i > 0) record += kSeparator;
    if (i < values.size()) record += EncodeField(values[i]);
  }
  return record;
}

QStringList SplitRecord(const QString& record) {
  QStringList parts = record.split(kSeparator, Qt::KeepEmptyParts, Qt::CaseSensitive);
  for (QString& part : parts) part = DecodeField(part);
  return parts;
}

QStringList ReadContactFields(automation::AddressBookReader& reader) {
  QStringList read;
  read.reserve(kRecordFieldCount);
  for (std::string_view key : kScanReadOrder)
    read << QString::fromStdString(reader.GetValue(std::string(key)));
  // Read order → record order: only CellPhone (read 20th) moves, to position 15.
  QStringList record = read.mid(0, 15);
  record << read[19] << read[15] << read[16] << read[17] << read[18] << read[20];
  return record;
}

}  // namespace scan
