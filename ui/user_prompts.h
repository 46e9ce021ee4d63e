// How the main window asks and tells the user things. Like the dialogs, the
// message boxes go through an interface, so that a test can answer them and
// never meets a modal box it cannot close.
#pragma once

#include <QString>

class QWidget;

namespace kestrix {

enum class TPromptIcon { Warning, Error, Information, Confirmation };
// The answer Enter gives: No for a question whose Yes destroys something.
enum class TPromptDefault { Yes, No };

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  // A Yes/No question; true on Yes.
  virtual bool Ask(QWidget* parent, const QString& text, TPromptIcon icon,
                   TPromptDefault preset = TPromptDefault::Yes) = 0;
  // A message with one OK button.
  virtual void Tell(QWidget* parent, const QString& text, TPromptIcon icon) = 0;
};

// The real message boxes.
class MessageBoxPrompts final : public UserPrompts {
 public:
  bool Ask(QWidget* parent, const QString& text, TPromptIcon icon,
           TPromptDefault preset = TPromptDefault::Yes) override;
  void Tell(QWidget* parent, const QString& text, TPromptIcon icon) override;
};

}  // namespace kestrix
