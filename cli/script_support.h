// Script links are resolved in a hidden browser page. The web engine is
// heavy to start and needs a GUI application object, so the command line
// makes one only when a job of the project asks for scripts.
#pragma once

#include <memory>
#include <string>

#include "engine/download_control.h"

class QCoreApplication;

namespace kestrix {

class OfflineState;
class TJobList;

// Whether any job of `project` has checkLoadScript set.
bool ProjectNeedsScripts(const TJobList& store, const std::string& project);

// The application object: a QGuiApplication when scripts are needed (on the
// offscreen platform when no display is reachable), else a QCoreApplication.
std::unique_ptr<QCoreApplication> MakeApplication(bool scripts, int& argc, char** argv);

// The factory the engine calls on the first page that needs scripts; empty
// when scripts are not needed or the program was built without the browser.
// `offline` must outlive every resolver made.
ScriptResolverFactory MakeScriptResolverFactory(bool scripts, const OfflineState& offline);

}  // namespace kestrix
