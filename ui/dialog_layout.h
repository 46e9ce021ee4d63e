// What the tabbed dialogs build alike: controls named for the tests and the
// settings that find them, and the page control above an "Ok" / "Cancel" row.
#pragma once

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QString>
#include <QVBoxLayout>

namespace kestrix {

template <typename Control>
Control* Named(Control* control, const char* name) {
  control->setObjectName(QString::fromLatin1(name));
  return control;
}

// Lays out `body` above a right-aligned "Ok" (the default) and "Cancel".
inline void LayOutWithOkCancel(QDialog* dialog, QWidget* body, QPushButton*& ok,
                               QPushButton*& cancel) {
  ok = Named(new QPushButton(QStringLiteral("Ok"), dialog), "btnOk");
  ok->setDefault(true);
  cancel = Named(new QPushButton(QStringLiteral("Cancel"), dialog), "btnCancel");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(body);
  layout->addLayout(buttons);
}

}  // namespace kestrix
