// The module kestrix-web.so, which the desktop program loads the first time
// it needs the web engine.
#include "browser/web_engine_setup.h"
#include "ui/web_parts.h"

extern "C" {

__attribute__((visibility("default"))) const kestrix::WebParts* kestrix_web_parts() {
  // The application exists already: its drawing contexts were shared before
  // it was made (PrepareEngineFlags); what is left is the engine's own
  // registry, which must be filled before any of its objects exists.
  kestrix::PrepareWebEngine();
  return &kestrix::LinkedWebParts();
}
}
