#include "ContactKey.h"

namespace scan {

QString ContactKey(std::int32_t index, const QDateTime& when) {
  // toString(format) is locale-independent: the key never depends on the
  // user's language settings. "HH" is the 24-hour clock whatever the format.
  return QString::number(index) + when.toString(QStringLiteral("d-M-yy-HH-mm-ss"));
}

QString ContactKeyClock::KeyNow(std::int32_t index) {
  const qint64 second = QDateTime::currentSecsSinceEpoch();
  if (second != second_) {
    second_ = second;
    dateText_ = ContactKey(0, QDateTime::fromSecsSinceEpoch(second)).mid(1);
  }
  return QString::number(index) + dateText_;
}

QString TrimSpaces(const QString& text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && text[begin] == u' ') ++begin;
  while (end > begin && text[end - 1] == u' ') --end;
  return text.mid(begin, end - begin);
}

QString GroupKeyFor(const QString& name) {
  const QString trimmed = TrimSpaces(name);
  if (trimmed.isEmpty()) return kOtherGroupKey;
  // Canonical decomposition splits an accented letter into its base letter
  // and the accent; compatibility forms (①, Ⅱ, ﬁ) are not letters of a group.
  const QString initial = trimmed.left(trimmed[0].isHighSurrogate() ? 2 : 1);
  const QChar base = initial.normalized(QString::NormalizationForm_D)[0];
  if ((base >= u'A' && base <= u'Z') || (base >= u'a' && base <= u'z')) return QString(base.toUpper());
  return kOtherGroupKey;
}

}  // namespace scan
