// The texts of the queue grid for entries read back from a history file,
// shared by the desktop program and the command line.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/url_list.h"

namespace kestrix {

class EngineObserver;

// The text of a socket error code (the socket layer's WSocketErrorText).
using ErrorTextFn = std::string (*)(int code);

// "YYYY-MM-DD HH:MM:SS GMT" for a date in days since 1899-12-30, or
// "Unknown" when there is none (0 or below) or it lies beyond year 9999.
std::string QueueDateText(double lastModified);

// Columns 0 to 4 of an entry's row: URL, linked text, size or progress,
// date, state.
std::array<std::string, 5> QueueRowTexts(std::string_view url, const TRetriveRec& entry,
                                         ErrorTextFn errorText);

// Sets the grid to one row per entry below the header and fills every row.
void ShowQueueRows(const UrlList& queue, EngineObserver& observer, ErrorTextFn errorText);

}  // namespace kestrix
