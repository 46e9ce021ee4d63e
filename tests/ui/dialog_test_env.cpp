// Every test of the program runs with a QApplication on the offscreen
// platform, so that the real widgets work without a display.
#include "tests/ui/dialog_test_env.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <memory>

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

namespace {

struct TWidgetsEnvironment : ::testing::Environment {
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app.reset(); }

  int argc = 1;
  char name[16] = "dialog_tests";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QApplication> app;
};

[[maybe_unused]] ::testing::Environment* const kWidgetsEnvironment =
    ::testing::AddGlobalTestEnvironment(new TWidgetsEnvironment);

}  // namespace
