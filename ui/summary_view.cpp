#include "ui/summary_view.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <utility>

#include "core/url_list.h"
#include "engine/queue_summary.h"
#include "http/socket_errors.h"
#include "ui/artwork.h"
#include "ui/grid_columns.h"

namespace kestrix {
namespace {

QTableWidget* MakeGrid(const QString& name, const QStringList& headers, const QList<int>& widths,
                       QWidget* parent) {
  auto* grid = new QTableWidget(parent);
  grid->setObjectName(name);
  grid->setColumnCount(static_cast<int>(headers.size()));
  grid->setHorizontalHeaderLabels(headers);
  for (int column = 0; column < widths.size(); ++column)
    grid->setColumnWidth(column, widths[column]);
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setDefaultSectionSize(19);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  return grid;
}

QTableWidgetItem* Cell(const QString& text) {
  return new QTableWidgetItem(text);
}

QLabel* Figure(const QString& name, QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("0"), parent);
  label->setObjectName(name);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

TSummaryView::TSummaryView(const TEngineState& state, QWidget* parent)
    : QWidget(parent), state_(state) {
  stat_ = MakeGrid(QStringLiteral("grdStat"),
                   {QStringLiteral("Type"), QStringLiteral("Count"), QStringLiteral("Size"),
                    QStringLiteral("Errors")},
                   {99, 99, 110, 93}, this);
  hosts_ = MakeGrid(QStringLiteral("grdHosts"),
                    {QStringLiteral("Host name"), QStringLiteral("Pages")}, {167, 64}, this);
  errors_ = MakeGrid(QStringLiteral("grdErrors"), {QStringLiteral("Url"), QStringLiteral("Error")},
                     {202, 180}, this);
  hostsCounter_ = new QLabel(QStringLiteral("0"), this);
  hostsCounter_->setObjectName(QStringLiteral("lblHostsCntr"));
  saved_ = Figure(QStringLiteral("lblSavedBytes"), this);
  wire_ = Figure(QStringLiteral("lblWireBytes"), this);
  refused_ = Figure(QStringLiteral("lblRobotsRefused"), this);
  update_ = new QPushButton(QStringLiteral("Update"), this);
  update_->setObjectName(QStringLiteral("btnUpdateStat"));
  connect(update_, &QPushButton::clicked, this, &TSummaryView::Update);

  // Tall enough for its header and nine rows without scrolling.
  stat_->setFixedHeight(stat_->horizontalHeader()->sizeHint().height() + 9 * 19 + 4);
  hosts_->setFixedHeight(stat_->height());
  auto* layout = new QGridLayout(this);
  layout->setColumnStretch(1, 1);
  layout->addWidget(new QLabel(QStringLiteral("Pages:"), this), 0, 0);
  layout->addWidget(stat_, 1, 0);
  auto* hostsTitle = new QHBoxLayout;
  hostsTitle->addWidget(new QLabel(QStringLiteral("Hosts:"), this));
  hostsTitle->addWidget(hostsCounter_);
  hostsTitle->addStretch();
  layout->addLayout(hostsTitle, 0, 1);
  layout->addWidget(hosts_, 1, 1);
  // Saved bytes are the documents as kept, decoded; the wire's are what
  // came over the connections, compressed or in chunks.
  auto* figures = new QHBoxLayout;
  for (const auto& [title, value] :
       {std::pair{QStringLiteral("Saved (bytes):"), saved_},
        std::pair{QStringLiteral("On the wire (bytes):"), wire_},
        std::pair{QStringLiteral("Refused by robots.txt:"), refused_}}) {
    figures->addWidget(new QLabel(title, this));
    figures->addWidget(value);
    figures->addSpacing(16);
  }
  figures->addStretch();
  layout->addLayout(figures, 2, 0, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("Errors:"), this), 3, 0);
  layout->addWidget(errors_, 4, 0, 1, 2);
  layout->addWidget(update_, 5, 0, Qt::AlignLeft);
  ResetGrids();
}

QString TSummaryView::HostsCounter() const {
  return hostsCounter_->text();
}

QString TSummaryView::SavedText() const {
  return saved_->text();
}

QString TSummaryView::WireText() const {
  return wire_->text();
}

QString TSummaryView::RefusedText() const {
  return refused_->text();
}

void TSummaryView::ResetGrids() {
  static const char* const kRows[9] = {"Html",    "Images",  "Frames",      "IFrames", "Forms",
                                       "Embeded", "Scripts", "StyleSheets", "Total"};
  stat_->clearContents();
  stat_->setRowCount(9);
  for (int row = 0; row < 9; ++row) {
    QTableWidgetItem* name = Cell(QString::fromLatin1(kRows[row]));
    if (row < 8) {
      name->setIcon(SummaryRowPixmap(row));
    } else {
      QFont bold = name->font();
      bold.setBold(true);
      name->setFont(bold);
    }
    stat_->setItem(row, 0, name);
  }
  // "StyleSheets" with its mark reads whole.
  FitColumns(*stat_);
  int width = 4;
  for (int column = 0; column < stat_->columnCount(); ++column) width += stat_->columnWidth(column);
  stat_->setFixedWidth(width);
  for (QTableWidget* grid : {hosts_, errors_}) {
    grid->clearContents();
    grid->setRowCount(1);
  }
  hostsCounter_->setText(QStringLiteral("0"));
  for (QLabel* figure : {saved_, wire_, refused_}) figure->setText(QStringLiteral("0"));
}

void TSummaryView::Update() {
  ResetGrids();
  const TQueueSummary summary = SummariseQueue(state_.Queue);
  for (int row = 0; row < 9; ++row) {
    const TSummaryRow& figures = summary.Rows[static_cast<size_t>(row)];
    const int64_t values[3] = {figures.Count, figures.Size, figures.Errors};
    for (int column = 1; column <= 3; ++column) {
      // Zero figures leave their cells empty.
      if (values[column - 1] <= 0) continue;
      QTableWidgetItem* cell = Cell(QString::number(values[column - 1]));
      if (row == 8) {
        QFont bold = cell->font();
        bold.setBold(true);
        cell->setFont(bold);
      }
      if (column == 3) cell->setForeground(Qt::red);
      stat_->setItem(row, column, cell);
    }
  }
  if (!summary.Hosts.empty()) hosts_->setRowCount(static_cast<int>(summary.Hosts.size()));
  for (size_t i = 0; i < summary.Hosts.size(); ++i) {
    const int row = static_cast<int>(i);
    hosts_->setItem(row, 0, Cell(QString::fromStdString(summary.Hosts[i].Host)));
    hosts_->setItem(row, 1, Cell(QString::number(summary.Hosts[i].Pages)));
  }
  if (!summary.Failed.empty()) errors_->setRowCount(static_cast<int>(summary.Failed.size()));
  for (size_t i = 0; i < summary.Failed.size(); ++i) {
    const int row = static_cast<int>(i);
    QTableWidgetItem* url = Cell(QString::fromStdString(summary.Failed[i].Url));
    QTableWidgetItem* error = Cell(QString::fromStdString(summary.Failed[i].Error));
    url->setToolTip(url->text());
    error->setToolTip(error->text());
    errors_->setItem(row, 0, url);
    errors_->setItem(row, 1, error);
  }
  hostsCounter_->setText(QString::number(summary.Hosts.size()));
  const QLocale locale;
  saved_->setText(locale.toString(static_cast<qlonglong>(state_.SavedBytes)));
  wire_->setText(locale.toString(static_cast<qlonglong>(state_.WireBytes)));
  refused_->setText(locale.toString(state_.RobotsRefused));
}

}  // namespace kestrix
