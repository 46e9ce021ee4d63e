// The preview tests host real web pages in real widgets: the engine is
// prepared before the application object exists, and everything runs on the
// offscreen platform.
#include "browser/web_engine_setup.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
// The web engine's own prebuilt code frees some objects through a base type
// of another size when a page is destroyed; see tests/browser/test_main.cpp.
extern "C" const char* __asan_default_options() {
  return "new_delete_type_mismatch=0";
}
#endif

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  kestrix::PrepareWebEngine();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
