// The link filter of the exploration test: which link types each grid shows.
#pragma once

#include <QDialog>
#include <array>

#include "exploration/explorer.h"

class QCheckBox;

namespace kestrix {

class TfmFilterLinks final : public QDialog {
  Q_OBJECT

 public:
  explicit TfmFilterLinks(QWidget* parent = nullptr);

  void SetFilter(const TLinkFilter& filter);
  TLinkFilter Filter() const;
  // The box of `type` in the enabled (true) or disabled group.
  QCheckBox* Box(bool enabledGroup, TLinkType type) const;

 private:
  std::array<QCheckBox*, kLinkTypeCount> enabled_{};
  std::array<QCheckBox*, kLinkTypeCount> disabled_{};
};

}  // namespace kestrix
