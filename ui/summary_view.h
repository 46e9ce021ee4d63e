// The "Summary" page: counts and sizes of the queue by kind of link, pages
// per host, the failed entries, and the bytes the project's runs saved and
// took over the wire and the links robots.txt refused; computed when
// "Update" is pressed and not followed afterwards.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace kestrix {

struct TEngineState;

class TSummaryView final : public QWidget {
  Q_OBJECT

 public:
  // `state` must outlive the view.
  explicit TSummaryView(const TEngineState& state, QWidget* parent = nullptr);

  void Update();

  QTableWidget* StatGrid() const { return stat_; }
  QTableWidget* HostsGrid() const { return hosts_; }
  QTableWidget* ErrorsGrid() const { return errors_; }
  QString HostsCounter() const;
  // The run's figures as shown: bytes saved (decoded), bytes on the wire,
  // entries refused by robots.txt.
  QString SavedText() const;
  QString WireText() const;
  QString RefusedText() const;
  QPushButton* UpdateButton() const { return update_; }

 private:
  void ResetGrids();

  const TEngineState& state_;
  QTableWidget* stat_;
  QTableWidget* hosts_;
  QTableWidget* errors_;
  QLabel* hostsCounter_;
  QLabel* saved_;
  QLabel* wire_;
  QLabel* refused_;
  QPushButton* update_;
};

}  // namespace kestrix
