// The browser tests need an application object for the web engine; the page
// runs offscreen, so no display is needed. Like the program, the tests
// prepare the engine first: some of them host pages of their own.
#include "browser/web_engine_setup.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
// The web engine's own prebuilt code frees some objects through a base type
// of another size when a page is destroyed; that is in the engine, not in
// ours, and would abort the run before our code is checked. Every other
// check stays on, and options given in ASAN_OPTIONS still apply.
extern "C" const char* __asan_default_options() {
  return "new_delete_type_mismatch=0";
}
#endif

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  kestrix::PrepareWebEngine();
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
