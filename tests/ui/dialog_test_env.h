// Helpers for driving the dialogs headless: a message recorder to hand them
// instead of message boxes, and running a modal dialog with a script that
// acts on it once it is up.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

#include "ui/dialog_message.h"

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
template <typename T>
void WhenModalOf(std::function<void(T&)> act) {
  QTimer::singleShot(0, [act] {
    QPointer<QDialog> guard(qobject_cast<QDialog*>(QApplication::activeModalWidget()));
    if (auto* dialog = dynamic_cast<T*>(guard.data())) {
      act(*dialog);
    } else {
      ADD_FAILURE() << "no modal dialog of the type is open";
    }
    QTimer::singleShot(5000, [guard] {
      if (guard && guard->isVisible()) {
        ADD_FAILURE() << "the dialog was left open";
        guard->reject();
      }
    });
  });
}

}  // namespace kestrix::test
