// How the dialogs tell the user things. The forms are handed this function
// instead of opening message boxes themselves, so that their tests record
// what they say and never meet a modal box they cannot close.
#pragma once

#include <functional>

class QString;
class QWidget;

namespace kestrix {

enum class TMessageKind { Warning, Error, Information };

using TShowMessage = std::function<void(QWidget* parent, TMessageKind kind, const QString& text)>;

// A modal message box with an OK button: what the program passes.
void ShowMessageBox(QWidget* parent, TMessageKind kind, const QString& text);

}  // namespace kestrix
