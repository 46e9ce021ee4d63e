#include "ui/artwork.h"

#include <QPainter>

namespace kestrix {
namespace {

struct TMark {
  QColor colour;
  char letter;
};

// Web page, image, embedded object, style sheet, script, frame, form.
const TMark kWeb{QColor(40, 110, 200), 'H'};
const TMark kImage{QColor(30, 150, 60), 'I'};
const TMark kEmbed{QColor(150, 80, 170), 'E'};
const TMark kStyle{QColor(200, 120, 20), 'C'};
const TMark kScript{QColor(180, 150, 0), 'J'};
const TMark kFrame{QColor(90, 90, 90), 'F'};
const TMark kForm{QColor(190, 40, 40), 'P'};
// Only the exploration test shows these two.
const TMark kScriptResult{QColor(120, 120, 20), 'U'};
const TMark kFtp{QColor(20, 130, 140), 'T'};

QPixmap Mark(const TMark& mark) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(mark.colour);
  painter.setPen(Qt::NoPen);
  painter.drawRoundedRect(QRectF(1, 1, 14, 14), 3, 3);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPixelSize(11);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString(QLatin1Char(mark.letter)));
  return pixmap;
}

}  // namespace

QPixmap LinkKindPixmap(int linkKind) {
  switch (linkKind) {
    case 2:
      return Mark(kImage);
    case 3:
    case 4:
      return Mark(kFrame);
    case 5:
      return Mark(kForm);
    case 9:
      return Mark(kEmbed);
    case 10:
      return Mark(kScript);
    case 11:
      return Mark(kStyle);
    default:
      return Mark(kWeb);
  }
}

QPixmap LinkTypePixmap(int type) {
  static const TMark* const kTypes[9] = {&kWeb,   &kImage, &kEmbed,        &kStyle, &kScript,
                                         &kFrame, &kForm,  &kScriptResult, &kFtp};
  return Mark(type >= 0 && type < 9 ? *kTypes[type] : kWeb);
}

QPixmap SummaryRowPixmap(int row) {
  static const int kKinds[8] = {1, 2, 3, 4, 5, 9, 10, 11};
  return LinkKindPixmap(row >= 0 && row < 8 ? kKinds[row] : 1);
}

QPixmap WorkerLightPixmap(bool busy) {
  QPixmap pixmap(14, 14);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QColor(60, 60, 60));
  painter.setBrush(busy ? QColor(40, 210, 60) : QColor(170, 170, 170));
  painter.drawEllipse(QRectF(1.5, 1.5, 11, 11));
  return pixmap;
}

QPixmap OfflinePixmap() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(200, 40, 40), 2));
  painter.drawEllipse(QRectF(2, 2, 12, 12));
  painter.drawLine(QPointF(4, 12), QPointF(12, 4));
  return pixmap;
}

QIcon WindowIcon(bool downloading) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(35, 70, 120));
  painter.drawEllipse(QRectF(1, 1, 30, 30));
  // A bird's wings over a down arrow; the arrow turns green while loading.
  painter.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.drawPolyline(QPolygonF({QPointF(7, 11), QPointF(16, 16), QPointF(25, 11)}));
  painter.setPen(QPen(downloading ? QColor(90, 230, 110) : QColor(250, 200, 60), 3, Qt::SolidLine,
                      Qt::RoundCap, Qt::RoundJoin));
  painter.drawLine(QPointF(16, 16), QPointF(16, 26));
  painter.drawPolyline(QPolygonF({QPointF(12, 22), QPointF(16, 26), QPointF(20, 22)}));
  return QIcon(pixmap);
}

}  // namespace kestrix
