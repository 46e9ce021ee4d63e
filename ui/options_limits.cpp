#include "ui/options_limits.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>
#include <array>
#include <climits>

#include "core/byte_size.h"
#include "core/ini_document.h"
#include "ui/dialog_layout.h"

namespace kestrix {

namespace {

struct TSizeBox {
  QLineEdit* TLimitsPage::*box;
  int64_t TGlobalOptions::*field;
  const char* label;
};

struct TCountBox {
  QLineEdit* TLimitsPage::*box;
  int TGlobalOptions::*field;
  const char* label;
};

constexpr std::array kSizes = {
    TSizeBox{&TLimitsPage::editMaxFileSize, &TGlobalOptions::MaxFileSize, "Largest file :"},
    TSizeBox{&TLimitsPage::editMaxTotal, &TGlobalOptions::MaxTotal, "Most received in a run :"},
    TSizeBox{&TLimitsPage::editMaxParsedPage, &TGlobalOptions::MaxParsedPage,
             "Largest page analysed :"},
};

constexpr std::array kCounts = {
    TCountBox{&TLimitsPage::editMaxFileTime, &TGlobalOptions::MaxFileTime,
              "Longest file (seconds) :"},
    TCountBox{&TLimitsPage::editMaxFiles, &TGlobalOptions::MaxFiles, "Most files in a run :"},
    TCountBox{&TLimitsPage::editMaxTime, &TGlobalOptions::MaxTime, "Longest run (seconds) :"},
    TCountBox{&TLimitsPage::editMaxUrlLength, &TGlobalOptions::MaxUrlLength,
              "Longest URL (bytes) :"},
    TCountBox{&TLimitsPage::editMaxPathRepeats, &TGlobalOptions::MaxPathRepeats,
              "Path repeating itself (times) :"},
    TCountBox{&TLimitsPage::editMaxQueryVariants, &TGlobalOptions::MaxQueryVariants,
              "Query strings of one path :"},
};

// A size as typed back: "20 MB" when that is exact, else the bytes.
QString SizeText(int64_t bytes) {
  if (bytes <= 0) return {};
  const std::string text = FormatByteSize(bytes);
  return QString::fromStdString(ParseByteSize(text) == bytes ? text : std::to_string(bytes));
}

}  // namespace

TLimitsPage::TLimitsPage(QWidget* parent) : QWidget(parent) {
  auto* group = new QGroupBox(QStringLiteral("Limits (empty: none) :"), this);
  auto* form = new QFormLayout(group);
  const auto add = [&](QLineEdit* TLimitsPage::*box, const char* label, const char* name) {
    this->*box = Named(new QLineEdit(group), name);
    (this->*box)->setPlaceholderText(QStringLiteral("none"));
    form->addRow(QString::fromLatin1(label), this->*box);
  };
  add(kSizes[0].box, kSizes[0].label, "editMaxFileSize");
  add(kCounts[0].box, kCounts[0].label, "editMaxFileTime");
  add(kSizes[1].box, kSizes[1].label, "editMaxTotal");
  add(kCounts[1].box, kCounts[1].label, "editMaxFiles");
  add(kCounts[2].box, kCounts[2].label, "editMaxTime");
  add(kSizes[2].box, kSizes[2].label, "editMaxParsedPage");
  add(kCounts[3].box, kCounts[3].label, "editMaxUrlLength");
  add(kCounts[4].box, kCounts[4].label, "editMaxPathRepeats");
  add(kCounts[5].box, kCounts[5].label, "editMaxQueryVariants");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch();
}

void TLimitsPage::Show(const TGlobalOptions& options) {
  for (const TSizeBox& size : kSizes) (this->*size.box)->setText(SizeText(options.*size.field));
  for (const TCountBox& count : kCounts) {
    const int value = options.*count.field;
    (this->*count.box)->setText(value > 0 ? QString::number(value) : QString());
  }
}

QString TLimitsPage::Take(TGlobalOptions& options) const {
  for (const TSizeBox& size : kSizes) {
    QLineEdit* box = this->*size.box;
    const std::string text = box->text().trimmed().toStdString();
    const std::optional<int64_t> value = text.empty() ? int64_t{0} : ParseByteSize(text);
    if (!value) {
      box->setFocus();
      return QString::fromLatin1(size.label) +
             QStringLiteral(" '%1' is not a size such as 500K, 20M or 2G").arg(box->text());
    }
    options.*size.field = *value;
  }
  for (const TCountBox& count : kCounts) {
    QLineEdit* box = this->*count.box;
    const std::string text = box->text().trimmed().toStdString();
    const std::optional<int> value = text.empty() ? 0 : ParseDecimalInt(text);
    if (!value || *value < 0) {
      box->setFocus();
      return QString::fromLatin1(count.label) +
             QStringLiteral(" '%1' is not a whole number").arg(box->text());
    }
    options.*count.field = *value;
  }
  return {};
}

}  // namespace kestrix
