// Where the hidden page lives. Pages are loaded under a fixed fake address
// served only by the executor, so that a script's relative target resolves
// against a base the executor recognises and can be given back as written:
// "x/y.htm" comes back as "x/y.htm", not as an address on some host.
#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <string>
#include <string_view>

namespace kestrix {

// The page's address: a folder several levels deep, so that "../a.htm" can
// be told from "/a.htm" for as many levels as a page plausibly climbs.
std::string PageBaseUrl();

// A captured target with the fake base taken off: relative targets come back
// relative ("x/y.htm", "../a.htm", "?q=1"), root-relative ones keep their
// "/", and addresses elsewhere are returned unchanged.
std::string StripPageBase(std::string_view url);

// Serves the loaded page's bytes, unchanged, at PageBaseUrl() and nothing
// anywhere else.
class PageSchemeHandler final : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

  void SetPage(QByteArray bytes) { page_ = std::move(bytes); }
  void requestStarted(QWebEngineUrlRequestJob* job) override;

 private:
  QByteArray page_;
};

}  // namespace kestrix
