// Every test of this program runs with a QCoreApplication, whose event loop
// drives the sockets.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>

namespace {

struct TQtEnvironment : ::testing::Environment {
  void SetUp() override { app = std::make_unique<QCoreApplication>(argc, argv); }
  void TearDown() override { app.reset(); }

  int argc = 1;
  char name[32] = "engine_worker_tests";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QCoreApplication> app;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace
