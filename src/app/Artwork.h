// The program's own pictures, drawn in code: the tree's image list, the
// contact picture of the detail view and the banner.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QVector>

class QPainter;

namespace app {

// The image list SmallIcons: 41 slots, indexed from 0. Drawn are the keyed
// ones: 0 "Notesico", 2 "Close-2", 3 "Contacts", 38 "CardTransfer",
// 39 "Card", 40 "AddressBook"; the other slots stay empty.
inline constexpr int kSmallIconCount = 41;
QVector<QIcon> SmallIcons();

// An image of the list by its key ("Contacts", "AddressBook", ...), drawn at
// the given size; a null pixmap for a key the list does not hold.
QPixmap SmallIcon(const QString& key, int size);

// Draws an image of the list by its key on a 16 × 16 grid in the painter's
// coordinates; false for a key the list does not hold. The installed program
// icons (PNG at any size, and SVG) come from the same drawing.
bool DrawSmallIcon(QPainter& painter, const QString& key);

// The fixed 32 × 32 picture beside the contact's name.
QPixmap ContactPicture();

}  // namespace app
