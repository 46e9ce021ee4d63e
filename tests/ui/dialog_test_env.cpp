#include "tests/ui/dialog_test_env.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>

namespace kestrix::test {

void WhenModal(std::function<void(QDialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      ADD_FAILURE() << "no modal dialog is open";
      return;
    }
    QPointer<QDialog> guard(dialog);
    act(*dialog);
    QTimer::singleShot(5000, [guard] {
      if (guard && guard->isVisible()) {
        ADD_FAILURE() << "the dialog was left open";
        guard->reject();
      }
    });
  });
}

}  // namespace kestrix::test
