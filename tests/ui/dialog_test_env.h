// Helpers for driving the dialogs headless: a message recorder to hand them
// instead of message boxes, and running a modal dialog with a script that
// acts on it once it is up.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "ui/dialog_message.h"

class QDialog;

namespace kestrix::test {

struct TMessageLog {
  std::vector<QString> texts;
  TShowMessage Shower() {
    return [this](QWidget*, TMessageKind, const QString& text) { texts.push_back(text); };
  }
};

// Runs `act` on the active modal dialog of type T as soon as the event loop
// shows it; the dialog is rejected after a few seconds if `act` left it
// open, so a failing test never hangs.
void WhenModal(std::function<void(QDialog&)> act);

template <typename T>
void WhenModalOf(std::function<void(T&)> act) {
  WhenModal([act](QDialog& dialog) {
    if (auto* typed = dynamic_cast<T*>(&dialog)) act(*typed);
  });
}

}  // namespace kestrix::test
