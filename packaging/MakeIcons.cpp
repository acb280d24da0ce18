// Build-time tool: draws the program's icon (the address book of its own
// image list) for the desktop's hicolor theme.
//   addrivo_icons OUTDIR NAME   writes OUTDIR/scalable/NAME.svg,
//                               OUTDIR/48x48/NAME.png, OUTDIR/256x256/NAME.png
//                               and OUTDIR/windows/NAME.ico (the Windows build's,
//                               kept in packaging/windows/, compared by a test)
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "app/Artwork.h"

namespace {

const QString kKey = QStringLiteral("AddressBook");

QImage Drawn(int size, bool& drawn) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.scale(size / 16.0, size / 16.0);
  drawn = app::DrawSmallIcon(p, kKey);
  p.end();
  return image;
}

bool WritePng(const QString& dir, const QString& name, int size) {
  bool drawn = false;
  const QImage image = Drawn(size, drawn);
  const QString sub = QStringLiteral("%1/%2x%2").arg(dir).arg(size);
  return drawn && QDir().mkpath(sub) && image.save(sub + QLatin1Char('/') + name + QStringLiteral(".png"));
}

bool WriteSvg(const QString& dir, const QString& name) {
  const QString sub = dir + QStringLiteral("/scalable");
  if (!QDir().mkpath(sub)) return false;
  QSvgGenerator svg;
  svg.setFileName(sub + QLatin1Char('/') + name + QStringLiteral(".svg"));
  svg.setSize(QSize(256, 256));
  svg.setViewBox(QRect(0, 0, 256, 256));
  svg.setTitle(QStringLiteral("Addrivo"));
  QPainter p;
  if (!p.begin(&svg)) return false;
  p.scale(16.0, 16.0);
  const bool drawn = app::DrawSmallIcon(p, kKey);
  return p.end() && drawn;
}

void Le(QByteArray& out, quint32 v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A Windows icon file: 16, 32 and 48 pixels as 32-bit bitmaps (what every
// Windows and NSIS read), 256 as PNG (as Windows' own 256-pixel icons are).
bool WriteIco(const QString& dir, const QString& name) {
  const int sizes[] = {16, 32, 48, 256};
  QList<QByteArray> images;
  for (int size : sizes) {
    bool drawn = false;
    const QImage image = Drawn(size, drawn).convertToFormat(QImage::Format_ARGB32);
    if (!drawn) return false;
    QByteArray data;
    if (size == 256) {
      QBuffer buffer(&data);
      buffer.open(QIODevice::WriteOnly);
      if (!image.save(&buffer, "PNG")) return false;
    } else {
      // BITMAPINFOHEADER; the height counts the colour rows and the mask's.
      Le(data, 40, 4);
      Le(data, size, 4);
      Le(data, size * 2, 4);
      Le(data, 1, 2);
      Le(data, 32, 2);
      Le(data, 0, 4);
      Le(data, size * size * 4, 4);
      Le(data, 0, 16);
      for (int y = size - 1; y >= 0; --y)  // bottom row first
        for (int x = 0; x < size; ++x) Le(data, image.pixel(x, y), 4);  // B, G, R, A
      const int maskRow = ((size + 31) / 32) * 4;
      data.append(QByteArray(maskRow * size, '\0'));  // the alpha channel decides
    }
    images.append(data);
  }
  QByteArray ico;
  Le(ico, 0, 2);
  Le(ico, 1, 2);  // an icon
  Le(ico, static_cast<quint32>(images.size()), 2);
  quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
  for (int i = 0; i < images.size(); ++i) {
    const int size = sizes[i];
    Le(ico, size == 256 ? 0 : size, 1);
    Le(ico, size == 256 ? 0 : size, 1);
    Le(ico, 0, 2);  // no palette, reserved
    Le(ico, 1, 2);
    Le(ico, 32, 2);
    Le(ico, static_cast<quint32>(images[i].size()), 4);
    Le(ico, offset, 4);
    offset += static_cast<quint32>(images[i].size());
  }
  for (const QByteArray& data : images) ico.append(data);
  const QString sub = dir + QStringLiteral("/windows");
  QFile file(sub + QLatin1Char('/') + name + QStringLiteral(".ico"));
  return QDir().mkpath(sub) && file.open(QIODevice::WriteOnly) && file.write(ico) == ico.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: addrivo_icons OUTDIR NAME\n");
    return 2;
  }
  // Drawing needs no screen: a build machine has none.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString dir = QString::fromLocal8Bit(argv[1]);
  const QString name = QString::fromLocal8Bit(argv[2]);
  if (!WriteSvg(dir, name) || !WritePng(dir, name, 48) || !WritePng(dir, name, 256) ||
      !WriteIco(dir, name)) {
    std::fprintf(stderr, "addrivo_icons: cannot write the icons into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
