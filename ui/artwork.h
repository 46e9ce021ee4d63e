// The window's images, drawn at run time: the link-kind marks of the queue
// and summary grids, the worker lights, the offline mark and the window
// icon (idle and downloading).
#pragma once

#include <QIcon>
#include <QPixmap>

namespace kestrix {

// 16x16 mark for a link kind 1..12 (the queue grid's column-0 icon).
QPixmap LinkKindPixmap(int linkKind);
// The mark of an exploration test link type 0..8, in the order of its
// filter: "Html Reference", "Image", "Embedded, iFrame", "Style Sheets",
// "JavaScript", "Frame", "Form", "URL script result", "FTP link".
QPixmap LinkTypePixmap(int type);
// The mark of a summary row 0..7 ("Html" .. "StyleSheets").
QPixmap SummaryRowPixmap(int row);
// A worker's light: lit while it fetches.
QPixmap WorkerLightPixmap(bool busy);
QPixmap OfflinePixmap();
QIcon WindowIcon(bool downloading);

}  // namespace kestrix
