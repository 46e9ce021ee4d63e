#include "ui/template_delegate.h"

#include <QPainter>

namespace kestrix {

std::vector<std::pair<int, int>> TTemplateDelegate::Groups(const QString& text) {
  std::vector<std::pair<int, int>> groups;
  qsizetype from = 0;
  while (true) {
    const qsizetype open = text.indexOf(QLatin1Char('<'), from);
    if (open < 0) break;
    const qsizetype close = text.indexOf(QLatin1Char('>'), open + 1);
    if (close < 0) break;
    groups.emplace_back(static_cast<int>(open), static_cast<int>(close - open + 1));
    from = close + 1;
  }
  return groups;
}

void TTemplateDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  const QString text = index.data(Qt::DisplayRole).toString();
  const std::vector<std::pair<int, int>> groups = Groups(text);
  if (groups.empty()) return;
  const bool selected = option.state & QStyle::State_Selected;
  const QFontMetrics metrics(option.font);
  const QRect cell = option.rect.adjusted(3, 0, -2, 0);  // the style's text margin
  painter->save();
  painter->setClipRect(option.rect);
  painter->setFont(option.font);
  painter->setPen(selected ? QColor(Qt::yellow) : QColor(Qt::magenta));
  for (const auto& [start, length] : groups) {
    const int x = cell.left() + metrics.horizontalAdvance(text.left(start));
    if (x >= cell.right()) break;
    // The group is drawn again over the normal text, in place.
    const QRect where(x, cell.top(), cell.right() - x, cell.height());
    QString group = text.mid(start, length);
    group = metrics.elidedText(group, Qt::ElideRight, where.width());
    painter->fillRect(QRect(x, cell.top() + 1, metrics.horizontalAdvance(group), cell.height() - 2),
                      selected ? option.palette.highlight() : option.palette.base());
    painter->drawText(where, Qt::AlignLeft | Qt::AlignVCenter, group);
  }
  painter->restore();
}

}  // namespace kestrix
