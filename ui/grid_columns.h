// Grid columns that show their texts: no header or cell cut to a few
// letters at the default widths. Shared by the main window's pages, the
// dialogs and the exploration test's window.
#pragma once

class QTableView;

namespace kestrix {

// Widens every column but the last to its header and its widest shown cell,
// up to `most` pixels (a longer text is read in its hint); never narrows a
// column. The last column stretches with the grid.
void FitColumns(QTableView& grid, int most = 360);

}  // namespace kestrix
