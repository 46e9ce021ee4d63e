// Tests that host web pages need an application object made after the web
// engine is prepared, as the program does; pages run on the offscreen
// platform, so no display is needed. Tests of widgets build this with
// KESTRIX_TEST_WIDGETS, the others with a plain GUI application.
#include <gtest/gtest.h>

#include <cstdlib>

#include "browser/web_engine_setup.h"

#ifdef KESTRIX_TEST_WIDGETS
#include <QApplication>
using TTestApplication = QApplication;
#else
#include <QGuiApplication>
using TTestApplication = QGuiApplication;
#endif

#if defined(__SANITIZE_ADDRESS__)
// The web engine's prebuilt code frees some objects through a base type of
// another size, which is not ours to mend; every other check stays on.
extern "C" const char* __asan_default_options() {
  return "new_delete_type_mismatch=0";
}
#endif

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  kestrix::PrepareWebEngine();
  TTestApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
