#include "exploration/filter_links_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrix {

namespace {

QGroupBox* Group(const QString& title, std::array<QCheckBox*, kLinkTypeCount>& boxes,
                 QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  auto* layout = new QVBoxLayout(group);
  for (int i = 0; i < kLinkTypeCount; ++i) {
    boxes[static_cast<size_t>(i)] =
        new QCheckBox(QString::fromLatin1(LinkTypeName(static_cast<TLinkType>(i))), group);
    boxes[static_cast<size_t>(i)]->setChecked(true);
    layout->addWidget(boxes[static_cast<size_t>(i)]);
  }
  return group;
}

}  // namespace

TfmFilterLinks::TfmFilterLinks(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Filter options:"));
  auto* groups = new QHBoxLayout;
  groups->addWidget(Group(QStringLiteral("Enabled links :"), enabled_, this));
  groups->addWidget(Group(QStringLiteral("Disabled links :"), disabled_, this));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Ok"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(groups);
  layout->addWidget(buttons);
}

void TfmFilterLinks::SetFilter(const TLinkFilter& filter) {
  for (size_t i = 0; i < kLinkTypeCount; ++i) {
    enabled_[i]->setChecked(filter.Enabled[i]);
    disabled_[i]->setChecked(filter.Disabled[i]);
  }
}

TLinkFilter TfmFilterLinks::Filter() const {
  TLinkFilter filter;
  for (size_t i = 0; i < kLinkTypeCount; ++i) {
    filter.Enabled[i] = enabled_[i]->isChecked();
    filter.Disabled[i] = disabled_[i]->isChecked();
  }
  return filter;
}

QCheckBox* TfmFilterLinks::Box(bool enabledGroup, TLinkType type) const {
  return (enabledGroup ? enabled_ : disabled_)[static_cast<size_t>(type)];
}

}  // namespace kestrix
