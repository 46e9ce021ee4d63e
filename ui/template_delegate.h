// Draws a job's starting URL with the groups of its template ("<1-9>",
// "<a,b>") picked out in colour, so that a URL that expands into several
// is told apart from a plain one at a glance.
#pragma once

#include <QStyledItemDelegate>
#include <utility>
#include <vector>

namespace kestrix {

class TTemplateDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // Each "<" up to the next ">" (both included), as (start, length) pairs;
  // a "<" without a closing ">" starts no group.
  static std::vector<std::pair<int, int>> Groups(const QString& text);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

}  // namespace kestrix
