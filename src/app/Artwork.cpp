#include "Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace app {
namespace {

// Every picture is drawn on a 16 × 16 grid and scaled to the size asked for.
using Drawing = std::function<void(QPainter&)>;

QPixmap Render(const Drawing& draw, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 16.0, size / 16.0);
  draw(p);
  return pixmap;
}

// A head and shoulders: the person of a contact.
void DrawPerson(QPainter& p, QPointF at, double scale, QColor shirt) {
  p.save();
  p.translate(at);
  p.scale(scale, scale);
  p.setPen(QPen(shirt.darker(160), 0.6));
  p.setBrush(shirt);
  QPainterPath body;
  body.moveTo(1.5, 15.5);
  body.cubicTo(1.5, 10.0, 4.0, 9.0, 8.0, 9.0);
  body.cubicTo(12.0, 9.0, 14.5, 10.0, 14.5, 15.5);
  body.closeSubpath();
  p.drawPath(body);
  p.setBrush(QColor(0xF2, 0xC6, 0x9B));
  p.setPen(QPen(QColor(0xA0, 0x70, 0x48), 0.6));
  p.drawEllipse(QPointF(8.0, 5.5), 3.4, 3.6);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x5A, 0x3A, 0x22));
  p.drawChord(QRectF(4.4, 1.7, 7.2, 6.0), 0, 180 * 16);
  p.restore();
}

void DrawContacts(QPainter& p) {
  DrawPerson(p, {4.0, 0.5}, 0.72, QColor(0x3C, 0x8D, 0x3C));
  DrawPerson(p, {0.0, 3.0}, 0.82, QColor(0x2F, 0x6F, 0xC8));
}

// A card with a photo square and text lines.
void DrawCardShape(QPainter& p, QRectF r, QColor face) {
  p.setPen(QPen(QColor(0x55, 0x55, 0x66), 0.7));
  p.setBrush(face);
  p.drawRoundedRect(r, 1.0, 1.0);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2F, 0x6F, 0xC8));
  p.drawRect(QRectF(r.left() + 1.2, r.top() + 1.4, r.height() * 0.38, r.height() * 0.45));
  p.setBrush(QColor(0x88, 0x88, 0x99));
  const double x = r.left() + 2.0 + r.height() * 0.38;
  for (int line = 0; line < 3; ++line)
    p.drawRect(QRectF(x, r.top() + 1.6 + line * 1.7, r.right() - x - 1.2, 0.8));
}

void DrawCard(QPainter& p) { DrawCardShape(p, QRectF(0.8, 3.5, 14.4, 9.0), QColor(0xFF, 0xF8, 0xDC)); }

void DrawCardTransfer(QPainter& p) {
  DrawCardShape(p, QRectF(0.8, 1.0, 12.0, 8.0), QColor(0xFF, 0xF8, 0xDC));
  // A green arrow carrying the card on.
  p.setPen(QPen(QColor(0x1E, 0x6B, 0x1E), 0.6));
  p.setBrush(QColor(0x3C, 0xB0, 0x3C));
  QPainterPath arrow;
  arrow.moveTo(5.5, 11.0);
  arrow.lineTo(11.0, 11.0);
  arrow.lineTo(11.0, 9.0);
  arrow.lineTo(15.4, 12.5);
  arrow.lineTo(11.0, 16.0);
  arrow.lineTo(11.0, 14.0);
  arrow.lineTo(5.5, 14.0);
  arrow.closeSubpath();
  p.drawPath(arrow);
}

void DrawAddressBook(QPainter& p) {
  // A bound book with tabs on its edge and a person on its cover.
  QLinearGradient cover(0, 0, 16, 16);
  cover.setColorAt(0, QColor(0xC0, 0x39, 0x2B));
  cover.setColorAt(1, QColor(0x7B, 0x1F, 0x16));
  p.setPen(QPen(QColor(0x4A, 0x10, 0x0C), 0.7));
  p.setBrush(cover);
  p.drawRoundedRect(QRectF(2.0, 0.8, 11.5, 14.4), 1.2, 1.2);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x3A, 0x0C, 0x08));
  p.drawRect(QRectF(2.0, 0.8, 1.6, 14.4));
  const QColor tabs[] = {QColor(0xF1, 0xC4, 0x0F), QColor(0x2E, 0xCC, 0x71), QColor(0x34, 0x98, 0xDB)};
  for (int i = 0; i < 3; ++i) {
    p.setBrush(tabs[i]);
    p.drawRoundedRect(QRectF(13.0, 2.5 + i * 4.0, 2.4, 2.8), 0.6, 0.6);
  }
  p.setBrush(QColor(0xFF, 0xF8, 0xDC));
  p.drawRoundedRect(QRectF(5.0, 3.0, 6.6, 8.2), 0.8, 0.8);
  DrawPerson(p, {5.2, 3.4}, 0.4, QColor(0x2F, 0x6F, 0xC8));
}

void DrawNotes(QPainter& p) {
  // A note pad with a pencil line.
  p.setPen(QPen(QColor(0x80, 0x70, 0x20), 0.7));
  p.setBrush(QColor(0xFF, 0xF1, 0x76));
  p.drawRect(QRectF(2.0, 1.5, 11.0, 13.0));
  p.setPen(QPen(QColor(0x99, 0x88, 0x44), 0.6));
  for (int line = 0; line < 4; ++line) p.drawLine(QPointF(3.5, 5.0 + line * 2.4), QPointF(11.5, 5.0 + line * 2.4));
  p.setPen(QPen(QColor(0x2F, 0x6F, 0xC8), 1.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(9.0, 12.5), QPointF(15.0, 6.5));
}

void DrawClose(QPainter& p) {
  p.setPen(QPen(QColor(0x8B, 0x1A, 0x1A), 0.7));
  p.setBrush(QColor(0xE0, 0x44, 0x44));
  p.drawEllipse(QRectF(1.0, 1.0, 14.0, 14.0));
  p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
  p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
}

Drawing DrawingFor(const QString& key) {
  if (key == QLatin1String("Notesico")) return DrawNotes;
  if (key == QLatin1String("Close-2")) return DrawClose;
  if (key == QLatin1String("Contacts")) return DrawContacts;
  if (key == QLatin1String("CardTransfer")) return DrawCardTransfer;
  if (key == QLatin1String("Card")) return DrawCard;
  if (key == QLatin1String("AddressBook")) return DrawAddressBook;
  return {};
}

QIcon IconOf(const QString& key) {
  QIcon icon;
  for (int size : {16, 24, 32}) icon.addPixmap(SmallIcon(key, size));
  return icon;
}

}  // namespace

QPixmap SmallIcon(const QString& key, int size) {
  const Drawing draw = DrawingFor(key);
  return draw ? Render(draw, size) : QPixmap();
}

bool DrawSmallIcon(QPainter& painter, const QString& key) {
  const Drawing draw = DrawingFor(key);
  if (!draw) return false;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  draw(painter);
  painter.restore();
  return true;
}

QVector<QIcon> SmallIcons() {
  QVector<QIcon> list(kSmallIconCount);
  list[0] = IconOf(QStringLiteral("Notesico"));
  list[2] = IconOf(QStringLiteral("Close-2"));
  list[3] = IconOf(QStringLiteral("Contacts"));
  list[38] = IconOf(QStringLiteral("CardTransfer"));
  list[39] = IconOf(QStringLiteral("Card"));
  list[40] = IconOf(QStringLiteral("AddressBook"));
  return list;
}

QPixmap ContactPicture() {
  return Render(
      [](QPainter& p) {
        QLinearGradient sky(0, 0, 0, 16);
        sky.setColorAt(0, QColor(0xD6, 0xE8, 0xFA));
        sky.setColorAt(1, QColor(0x9C, 0xC3, 0xEE));
        p.setPen(QPen(QColor(0x4A, 0x6F, 0x9A), 0.5));
        p.setBrush(sky);
        p.drawRoundedRect(QRectF(0.3, 0.3, 15.4, 15.4), 2.0, 2.0);
        DrawPerson(p, {1.0, 1.2}, 0.88, QColor(0x2F, 0x6F, 0xC8));
      },
      32);
}

}  // namespace app
