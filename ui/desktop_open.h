// Handing a file, a folder or a web address to the program the desktop
// keeps for it. Where the desktop has none, the user is told so instead of
// nothing happening.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace kestrix {

// Opens a URL with the desktop's program; false when none took it.
using TOpenUrl = std::function<bool(const QUrl& url)>;

// Opens `url` with `open` (the desktop's handler when empty); when nothing
// takes it, `tell` receives the text to show. False then.
bool OpenOnDesktop(const TOpenUrl& open, const QUrl& url,
                   const std::function<void(const QString& text)>& tell);

}  // namespace kestrix
