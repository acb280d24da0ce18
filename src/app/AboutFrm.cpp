#include "app/AboutFrm.h"

#include <QFont>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace {

constexpr int kBannerWidth = 360;
constexpr int kBannerHeight = 59;

QFont Tahoma(bool bold) {
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSizeF(8.25);
  font.setBold(bold);
  return font;
}

}  // namespace

AboutFrm::AboutFrm(QWidget* owner) : QDialog(owner), view_(this), form_(view_) {
  setObjectName(QStringLiteral("AboutFrm"));
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  // White all over, whatever the desktop's colour scheme.
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  setPalette(white);
  setAutoFillBackground(true);

  Image1_ = new QLabel(this);
  Image1_->setObjectName(QStringLiteral("Image1"));
  Image1_->setPixmap(Banner());
  Image1_->setGeometry(0, 0, kBannerWidth, kBannerHeight);

  Label2_ = new QLabel(this);
  Label2_->setObjectName(QStringLiteral("Label2"));
  Label2_->setFont(Tahoma(false));
  Label2_->setGeometry(16, kBannerHeight + 14, 220, 18);

  // The address is plain text: nothing here starts a browser.
  Label3_ = new QLabel(this);
  Label3_->setObjectName(QStringLiteral("Label3"));
  Label3_->setFont(Tahoma(true));
  Label3_->setTextFormat(Qt::PlainText);
  Label3_->setTextInteractionFlags(Qt::NoTextInteraction);
  Label3_->setOpenExternalLinks(false);
  Label3_->setGeometry(16, kBannerHeight + 34, 220, 18);

  CmdOK_ = new QPushButton(this);
  CmdOK_->setObjectName(QStringLiteral("CmdOK"));
  CmdOK_->setDefault(true);
  CmdOK_->setGeometry(kBannerWidth - 16 - 90, kBannerHeight + 66, 90, 26);
  connect(CmdOK_, &QPushButton::clicked, this, [this] { form_.CmdOK_Click(); });

  setFixedSize(kBannerWidth, kBannerHeight + 66 + 26 + 14);
  form_.Form_Load();
}

void AboutFrm::View::CloseForm() { box_->accept(); }

void AboutFrm::ShowModal(QWidget* owner) {
  // The box lives only while it is shown: closing it unloads it.
  AboutFrm box(owner);
  box.exec();
}

QPixmap AboutFrm::Banner() {
  QPixmap banner(kBannerWidth, kBannerHeight);
  QPainter p(&banner);
  p.setRenderHint(QPainter::Antialiasing);

  QLinearGradient sky(0, 0, kBannerWidth, kBannerHeight);
  sky.setColorAt(0.0, QColor(0x12, 0x3b, 0x7a));
  sky.setColorAt(1.0, QColor(0x2f, 0x86, 0xc9));
  p.fillRect(banner.rect(), sky);

  // An address card: the product's mark.
  const QRectF card(12, 11, 46, 37);
  p.setPen(QPen(QColor(0xdd, 0xe8, 0xf5), 1.5));
  p.setBrush(Qt::white);
  p.drawRoundedRect(card, 5, 5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2f, 0x86, 0xc9));
  p.drawEllipse(QPointF(card.left() + 13, card.top() + 13), 6, 6);
  QPainterPath shoulders;
  shoulders.addRoundedRect(QRectF(card.left() + 4, card.top() + 21, 18, 10), 5, 5);
  p.drawPath(shoulders);
  p.setBrush(QColor(0x9c, 0xb6, 0xd3));
  for (int line = 0; line < 3; ++line) p.drawRect(QRectF(card.left() + 26, card.top() + 9 + line * 7, 15, 3));

  p.setPen(Qt::white);
  QFont name(QStringLiteral("Verdana"));
  name.setPixelSize(26);
  name.setBold(true);
  p.setFont(name);
  p.drawText(QRectF(70, 6, 280, 32), Qt::AlignLeft | Qt::AlignVCenter, QLatin1String(forms::AboutFrm::kBannerTitle));

  QFont tagline(QStringLiteral("Verdana"));
  tagline.setPixelSize(11);
  p.setFont(tagline);
  p.setPen(QColor(0xdd, 0xe8, 0xf5));
  p.drawText(QRectF(71, 36, 280, 16), Qt::AlignLeft | Qt::AlignVCenter,
             QLatin1String(forms::AboutFrm::kBannerTagline));
  p.drawText(QRectF(200, 6, 152, 14), Qt::AlignRight | Qt::AlignVCenter, QLatin1String(forms::AboutFrm::kBannerVendor));
  p.end();
  return banner;
}
