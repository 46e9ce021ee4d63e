// Every test of the program runs with a QApplication on the offscreen
// platform, so the real widgets can be made, shown and driven headless.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

struct TWidgetsEnvironment : ::testing::Environment {
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app.reset(); }

  int argc = 1;
  char name[16] = "kestrix_ui";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QApplication> app;
};

[[maybe_unused]] ::testing::Environment* const kWidgetsEnvironment =
    ::testing::AddGlobalTestEnvironment(new TWidgetsEnvironment);

}  // namespace
