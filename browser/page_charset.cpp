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

QString GridText(std::string_view bytes, const std::string& charset) {
  const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  if (!charset.empty()) {
    QStringDecoder decoder(charset.c_str());
    if (decoder.isValid()) return decoder.decode(view);
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(view);
  if (utf8.hasError()) text = QString::fromLatin1(view);
  return text;
}

std::string EncodePageText(const QString& text, const QByteArray& charset) {
  QStringEncoder encoder(charset.constData());
  if (!encoder.isValid()) return text.toUtf8().toStdString();
  const QByteArray bytes = encoder.encode(text);
  return bytes.toStdString();
}

}  // namespace kestrix
