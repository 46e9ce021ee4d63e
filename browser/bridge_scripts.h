// The scripts the hidden page runs around every loaded page. The prologue
// makes the page harmless and observable before its own scripts run: it
// puts in window.external with frmSubmit, wndOpenUrl and HTTPEncode, which
// record what the page asks for instead of doing it, and it silences errors
// and message boxes. The epilogue routes every form's submit() through the
// bridge. The executor reads the record back after a script has run.
#pragma once

#include <QString>

namespace kestrix {

QString PrologueScript();
QString EpilogueScript();

// Prefix for a link's code: empties the record so that it holds only what
// this code does.
QString ResetCaptureCall();
// A link's code as the page runs it, the record emptied first; code that
// parses only as a handler's function body runs as one.
QString LinkCodeCall(const QString& code);
// Evaluates to the record as JSON text {"k":kind,"u":url,"m":method,"v":value}
// and empties it.
QString TakeCaptureCall();

}  // namespace kestrix
