// Every test of a program that lists this file runs with a QCoreApplication,
// whose event loop drives the sockets. A source of each such program rather
// than part of the support library, so that its registration is linked in.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>

namespace {

struct TQtEnvironment : ::testing::Environment {
  void SetUp() override { app = std::make_unique<QCoreApplication>(argc, argv); }
  void TearDown() override { app.reset(); }

  int argc = 1;
  char name[16] = "kestrix_tests";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QCoreApplication> app;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace
