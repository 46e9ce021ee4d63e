#include "ui/desktop_open.h"

#include <QDesktopServices>

namespace kestrix {

bool OpenOnDesktop(const TOpenUrl& open, const QUrl& url,
                   const std::function<void(const QString& text)>& tell) {
  if (open ? open(url) : QDesktopServices::openUrl(url)) return true;
  const QString shown = url.isLocalFile() ? url.toLocalFile() : url.toString();
  tell(QStringLiteral("No program on this desktop opens ") + shown +
       QStringLiteral(". Set a default program for it in the desktop's settings, or open it "
                      "yourself."));
  return false;
}

}  // namespace kestrix
