#include "ui/user_prompts.h"

#include <QMessageBox>

namespace kestrix {
namespace {

QMessageBox::Icon BoxIcon(TPromptIcon icon) {
  switch (icon) {
    case TPromptIcon::Warning:
      return QMessageBox::Warning;
    case TPromptIcon::Error:
      return QMessageBox::Critical;
    case TPromptIcon::Information:
      return QMessageBox::Information;
    case TPromptIcon::Confirmation:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

bool MessageBoxPrompts::Ask(QWidget* parent, const QString& text, TPromptIcon icon,
                            TPromptDefault preset) {
  QMessageBox box(BoxIcon(icon), QStringLiteral("Kestrix"), text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(preset == TPromptDefault::No ? QMessageBox::No : QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

void MessageBoxPrompts::Tell(QWidget* parent, const QString& text, TPromptIcon icon) {
  QMessageBox box(BoxIcon(icon), QStringLiteral("Kestrix"), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace kestrix
