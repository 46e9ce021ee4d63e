#include "engine/queue_rows.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "engine/engine_observer.h"

namespace kestrix {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr int64_t kUnixEpochDay = 25569;  // 1970-01-01 counted from 1899-12-30
constexpr double kFirstDayAfter9999 = 2958466.0;

}  // namespace

std::string QueueDateText(double lastModified) {
  if (!(lastModified > 0) || lastModified >= kFirstDayAfter9999) return "Unknown";
  const auto ms = static_cast<int64_t>(std::llround(lastModified * kMsPerDay));
  const int64_t day = ms / 86400000;
  const int64_t secondOfDay = (ms % 86400000) / 1000;
  const std::chrono::year_month_day date{
      std::chrono::sys_days{std::chrono::days{day - kUnixEpochDay}}};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d GMT",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(secondOfDay / 3600),
                static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
  return text;
}

std::array<std::string, 5> QueueRowTexts(std::string_view url, const TRetriveRec& entry,
                                         ErrorTextFn errorText) {
  std::array<std::string, 5> row;
  row[0] = std::string(url);
  row[1] = entry.LinkedText;
  if (entry.ContentSize < 1 || entry.ContentSize <= entry.ReceivedSize) {
    row[2] = std::to_string(entry.ReceivedSize);
  } else {
    // In 64 bits: sizes near the 32-bit limit would overflow times 100.
    const int64_t percent = int64_t{entry.ReceivedSize} * 100 / entry.ContentSize;
    row[2] = "(" + std::to_string(percent) + "%)  " + std::to_string(entry.ContentSize);
  }
  row[3] = QueueDateText(entry.LastModified);
  if (entry.ErrorCode > 0) {
    row[4] = errorText(entry.ErrorCode) + " (#" + std::to_string(entry.ErrorCode) + ")";
  } else if (entry.ReceivedSize < 1) {
    row[2].clear();
    row[3].clear();
  } else {
    row[4] = "OK";
  }
  return row;
}

void ShowQueueRows(const UrlList& queue, EngineObserver& observer, ErrorTextFn errorText) {
  observer.QueueRowCountChanged(queue.Count() + 1);
  for (int32_t i = 0; i < queue.Count(); ++i) {
    const auto row = QueueRowTexts(queue.Url(i), queue.Entry(i), errorText);
    for (int column = 0; column < 5; ++column)
      observer.QueueCellChanged(i + 1, column, row[static_cast<size_t>(column)]);
  }
}

}  // namespace kestrix
