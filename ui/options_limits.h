// The Options dialog's "Limits" page: the limits that keep a run bounded on
// any site (one file's size and time, a run's bytes, files and time, the
// largest page analysed) and the crawl-trap guards. An empty box is no limit.
#pragma once

#include <QString>
#include <QWidget>

#include "core/global_options.h"

class QLineEdit;

namespace kestrix {

class TLimitsPage : public QWidget {
 public:
  explicit TLimitsPage(QWidget* parent = nullptr);

  void Show(const TGlobalOptions& options);
  // Takes the boxes into `options`; an empty text when they all hold a
  // limit, else what is wrong (the first box that is not) and its box has
  // the focus.
  QString Take(TGlobalOptions& options) const;

  QLineEdit* editMaxFileSize;
  QLineEdit* editMaxFileTime;
  QLineEdit* editMaxTotal;
  QLineEdit* editMaxFiles;
  QLineEdit* editMaxTime;
  QLineEdit* editMaxParsedPage;
  QLineEdit* editMaxUrlLength;
  QLineEdit* editMaxPathRepeats;
  QLineEdit* editMaxQueryVariants;
};

}  // namespace kestrix
