#include "ui/dialog_message.h"

#include <QMessageBox>
#include <QString>

namespace kestrix {

void ShowMessageBox(QWidget* parent, TMessageKind kind, const QString& text) {
  const QString title = QStringLiteral("Kestrix");
  switch (kind) {
    case TMessageKind::Warning:
      QMessageBox::warning(parent, title, text);
      break;
    case TMessageKind::Error:
      QMessageBox::critical(parent, title, text);
      break;
    case TMessageKind::Information:
      QMessageBox::information(parent, title, text);
      break;
  }
}

}  // namespace kestrix
