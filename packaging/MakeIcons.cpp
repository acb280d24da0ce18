// Build-time tool: draws the program's icon (the address book of its own
// image list) for the desktop's hicolor theme.
//   addrivo_icons OUTDIR NAME   writes OUTDIR/scalable/NAME.svg,
//                               OUTDIR/48x48/NAME.png and OUTDIR/256x256/NAME.png
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "app/Artwork.h"

namespace {

const QString kKey = QStringLiteral("AddressBook");

bool WritePng(const QString& dir, const QString& name, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.scale(size / 16.0, size / 16.0);
  const bool drawn = app::DrawSmallIcon(p, kKey);
  p.end();
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
  if (!WriteSvg(dir, name) || !WritePng(dir, name, 48) || !WritePng(dir, name, 256)) {
    std::fprintf(stderr, "addrivo_icons: cannot write the icons into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
