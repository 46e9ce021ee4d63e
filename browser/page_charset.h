// Link code and captured targets in the page's own encoding. Link extraction
// hands over code cut from the page's bytes and expects targets it can put
// back among them; the web engine works in Unicode, having decoded the page
// by its declared charset. Both ways go through that same charset.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

namespace kestrix {

// `charset` as the engine names it ("windows-1251", "UTF-8"); an unknown one
// is taken for UTF-8.
QString DecodePageText(std::string_view bytes, const QByteArray& charset);
// Page bytes as a grid shows them: by `charset` when it is one the program
// knows; otherwise as UTF-8 when they are valid UTF-8, else one character per
// byte (Latin-1), so that no text turns into replacement marks.
QString GridText(std::string_view bytes, const std::string& charset);
// Characters the charset lacks become "?", as in any single-byte page.
std::string EncodePageText(const QString& text, const QByteArray& charset);

}  // namespace kestrix
