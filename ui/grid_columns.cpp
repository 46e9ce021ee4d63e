#include "ui/grid_columns.h"

#include <QHeaderView>
#include <QTableView>
#include <algorithm>

namespace kestrix {

void FitColumns(QTableView& grid, int most) {
  QHeaderView* header = grid.horizontalHeader();
  header->setStretchLastSection(true);
  const int columns = grid.model() != nullptr ? grid.model()->columnCount() : 0;
  // Public on the item view, not on the table view.
  const QAbstractItemView& view = grid;
  for (int column = 0; column + 1 < columns; ++column) {
    const int wanted = std::max(header->sectionSizeHint(column), view.sizeHintForColumn(column));
    grid.setColumnWidth(column, std::max(grid.columnWidth(column), std::min(wanted, most)));
  }
}

}  // namespace kestrix
