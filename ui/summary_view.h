// The "Summary" page: counts and sizes of the queue by kind of link, pages
// per host and the failed entries, computed when "Update" is pressed and
// not followed afterwards.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace kestrix {

class UrlList;

class TSummaryView final : public QWidget {
  Q_OBJECT

 public:
  // `queue` must outlive the view.
  explicit TSummaryView(const UrlList& queue, QWidget* parent = nullptr);

  void Update();

  QTableWidget* StatGrid() const { return stat_; }
  QTableWidget* HostsGrid() const { return hosts_; }
  QTableWidget* ErrorsGrid() const { return errors_; }
  QString HostsCounter() const;
  QPushButton* UpdateButton() const { return update_; }

 private:
  void ResetGrids();

  const UrlList& queue_;
  QTableWidget* stat_;
  QTableWidget* hosts_;
  QTableWidget* errors_;
  QLabel* hostsCounter_;
  QPushButton* update_;
};

}  // namespace kestrix
