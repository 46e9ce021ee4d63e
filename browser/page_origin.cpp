#include "browser/page_origin.h"

#include "browser/web_engine_setup.h"

#include <QBuffer>
#include <QWebEngineUrlRequestJob>

#include <vector>

namespace kestrix {
namespace {

constexpr int kBaseLevels = 8;
constexpr std::string_view kHost = "page";

std::string Level(int i) {
  return "~kx" + std::to_string(i + 1);
}

std::string Origin() {
  return std::string(kPageScheme) + "://" + std::string(kHost);
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char a = s[i] >= 'A' && s[i] <= 'Z' ? static_cast<char>(s[i] - 'A' + 'a') : s[i];
    if (a != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::string PageBaseUrl() {
  std::string url = Origin();
  url += '/';
  for (int i = 0; i < kBaseLevels; ++i) {
    url += Level(i);
    url += '/';
  }
  return url;
}

std::string StripPageBase(std::string_view url) {
  const std::string origin = Origin();
  if (!StartsWithNoCase(url, origin)) return std::string(url);
  std::string_view rest = url.substr(origin.size());
  if (!rest.empty() && rest.front() != '/' && rest.front() != '?' && rest.front() != '#') {
    return std::string(url);  // another host that merely starts alike
  }
  const std::size_t path_end = rest.find_first_of("?#");
  std::string_view path = rest.substr(0, path_end);
  const std::string_view tail = path_end == std::string_view::npos ? "" : rest.substr(path_end);

  // Walk down the base folders as far as the target follows them.
  int levels = 0;
  while (levels < kBaseLevels) {
    std::string step = "/";
    step += Level(levels);
    if (path.substr(0, step.size()) != step) break;
    if (path.size() > step.size() && path[step.size()] != '/') break;
    path.remove_prefix(step.size());
    ++levels;
  }
  if (levels == 0) {
    std::string out(path.empty() ? std::string_view("/") : path);
    out += tail;
    return out;
  }
  std::string out;
  for (int i = levels; i < kBaseLevels; ++i) out += "../";
  if (!path.empty()) path.remove_prefix(1);  // the "/" after the last base folder
  out += path;
  out += tail;
  return out;
}

void PageSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
  const QUrl base(QString::fromStdString(PageBaseUrl()));
  if (job->requestUrl().adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment) != base) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  auto* body = new QBuffer(job);
  body->setData(page_);
  job->reply(QByteArrayLiteral("text/html"), body);
}

}  // namespace kestrix
