#include "browser/page_charset.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace kestrix {

QString DecodePageText(std::string_view bytes, const QByteArray& charset) {
  const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QStringDecoder decoder(charset.constData());
  if (!decoder.isValid()) return QString::fromUtf8(view);
  return decoder.decode(view);
}

std::string EncodePageText(const QString& text, const QByteArray& charset) {
  QStringEncoder encoder(charset.constData());
  if (!encoder.isValid()) return text.toUtf8().toStdString();
  const QByteArray bytes = encoder.encode(text);
  return bytes.toStdString();
}

}  // namespace kestrix
