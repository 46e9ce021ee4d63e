// The browser tests need an application object for the web engine; the page
// runs offscreen, so no display is needed. Like the program, the tests
// prepare the engine first: some of them host pages of their own.
#include "browser/web_engine_setup.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  kestrix::PrepareWebEngine();
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
