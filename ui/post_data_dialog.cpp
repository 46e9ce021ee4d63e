#include "ui/post_data_dialog.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace kestrix {
namespace {

constexpr int kTickColumn = 0;
constexpr int kNameColumn = 1;
constexpr int kValueColumn = 2;

// Form bytes are shown one character per byte, so that what is sent back is
// exactly what was edited.
QString Shown(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string Bytes(const QString& text) {
  return text.toLatin1().toStdString();
}

}  // namespace

TfmPostData::TfmPostData(std::function<void()> editJob, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Data posted !"));
  resize(700, 420);

  rbPost = new QRadioButton(QStringLiteral("POST"), this);
  rbGet = new QRadioButton(QStringLiteral("GET"), this);
  QFont bold = rbGet->font();
  bold.setBold(true);
  rbPost->setFont(bold);
  rbGet->setFont(bold);
  edUrl = new QLineEdit(this);
  edUrl->setReadOnly(true);
  edUrl->setFrame(false);
  edUrl->setStyleSheet(QStringLiteral("background: silver"));
  mmParams = new QPlainTextEdit(this);
  mmParams->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  grd = new QTableWidget(0, 3, this);
  grd->setHorizontalHeaderLabels({QString(), QStringLiteral("Name"), QStringLiteral("Value")});
  grd->setColumnWidth(kTickColumn, 17);
  grd->setColumnWidth(kNameColumn, 146);
  grd->setColumnWidth(kValueColumn, 498);
  grd->verticalHeader()->hide();
  grd->verticalHeader()->setDefaultSectionSize(16);
  lblItems = new QLabel(this);
  lblEncoding = new QLabel(this);
  lblEncoding->setObjectName(QStringLiteral("lblEncoding"));
  btnUndo = new QPushButton(QStringLiteral("Undo Edit"), this);
  btnProperty = new QToolButton(this);
  btnProperty->setText(QStringLiteral("..."));
  btnProperty->setToolTip(QStringLiteral("Download property"));
  btnProperty->setVisible(static_cast<bool>(editJob));
  btnDownLoad = new QPushButton(QStringLiteral("Download"), this);
  btnView = new QPushButton(QStringLiteral("View"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);

  auto* top = new QGridLayout;
  top->addWidget(new QLabel(QStringLiteral("Method:"), this), 0, 0);
  auto* methods = new QHBoxLayout;
  methods->addWidget(rbPost);
  methods->addWidget(rbGet);
  methods->addSpacing(16);
  methods->addWidget(lblEncoding);
  methods->addStretch();
  top->addLayout(methods, 0, 1);
  top->addWidget(new QLabel(QStringLiteral("Location:"), this), 1, 0);
  top->addWidget(edUrl, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(lblItems);
  buttons->addStretch();
  buttons->addWidget(btnUndo);
  buttons->addWidget(btnProperty);
  buttons->addWidget(btnDownLoad);
  buttons->addWidget(btnView);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(new QLabel(QStringLiteral("Params:"), this));
  layout->addWidget(mmParams, 1);
  layout->addWidget(new QLabel(QStringLiteral("Params as list:"), this));
  layout->addWidget(grd, 2);
  layout->addLayout(buttons);

  connect(rbPost, &QRadioButton::clicked, this, [this] {
    data_.SetGet(false);
    ShowUrl();
  });
  connect(rbGet, &QRadioButton::clicked, this, [this] {
    data_.SetGet(true);
    ShowUrl();
  });
  connect(grd, &QTableWidget::itemChanged, this, &TfmPostData::RowChanged);
  connect(mmParams, &QPlainTextEdit::textChanged, this, &TfmPostData::MemoEdited);
  connect(btnUndo, &QPushButton::clicked, this, [this] {
    data_.Undo();
    ShowAll();
  });
  connect(btnProperty, &QToolButton::clicked, this, [editJob] {
    if (editJob) editJob();
  });
  connect(btnDownLoad, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnView, &QPushButton::clicked, this, [this] { done(kViewResult); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmPostData::Setup(const std::string& url, const std::string& postData, bool posted,
                        bool multipart) {
  data_.Setup(url, postData, posted, multipart);
  ShowAll();
}

void TfmPostData::ShowAll() {
  ShowText();
  FillList();
  ShowUrl();
}

void TfmPostData::ShowText() {
  filling_ = true;
  mmParams->setPlainText(Shown(data_.Params()));
  filling_ = false;
}

void TfmPostData::ShowUrl() {
  rbGet->setChecked(data_.IsGet());
  rbPost->setChecked(!data_.IsGet());
  lblEncoding->setText(QString::fromStdString(data_.ResultContentType()));
  const QString url = Shown(data_.ShownUrl());
  edUrl->setText(url);
  edUrl->setCursorPosition(0);
  edUrl->setToolTip(Shown(WrappedHint(data_.ShownUrl())));
}

void TfmPostData::FillList() {
  filling_ = true;
  const std::vector<TPostParam>& rows = data_.Rows();
  grd->setRowCount(static_cast<int>(rows.size()));
  for (int row = 0; row < grd->rowCount(); ++row) {
    const TPostParam& param = rows[static_cast<std::size_t>(row)];
    auto* tick = new QTableWidgetItem;
    // The tick column holds only the box: it is toggled, never edited.
    tick->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    tick->setCheckState(param.Ticked ? Qt::Checked : Qt::Unchecked);
    grd->setItem(row, kTickColumn, tick);
    auto* name = new QTableWidgetItem(Shown(param.Name));
    auto* value = new QTableWidgetItem(Shown(param.Value));
    const QColor grey(192, 192, 192);
    if (!param.Ticked) {
      name->setForeground(grey);
      value->setForeground(grey);
    }
    grd->setItem(row, kNameColumn, name);
    grd->setItem(row, kValueColumn, value);
  }
  lblItems->setText(QString::number(data_.ItemCount()) + QStringLiteral(" items"));
  filling_ = false;
}

void TfmPostData::RowChanged(QTableWidgetItem* item) {
  if (filling_) return;
  const int row = item->row();
  if (item->column() == kTickColumn) {
    data_.SetTicked(row, item->checkState() == Qt::Checked);
  } else if (item->column() == kNameColumn) {
    data_.SetName(row, Bytes(item->text()));
  } else {
    data_.SetValue(row, Bytes(item->text()));
  }
  ShowText();
  // The item that changed is still in use: recolour the row in place.
  filling_ = true;
  const QColor colour = data_.Rows()[static_cast<std::size_t>(row)].Ticked
                            ? grd->palette().color(QPalette::Text)
                            : QColor(192, 192, 192);
  grd->item(row, kNameColumn)->setForeground(colour);
  grd->item(row, kValueColumn)->setForeground(colour);
  filling_ = false;
  ShowUrl();
}

void TfmPostData::MemoEdited() {
  if (filling_) return;
  data_.SetParamsText(Bytes(mmParams->toPlainText()));
  FillList();
  ShowUrl();
}

}  // namespace kestrix
