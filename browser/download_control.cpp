#include "browser/download_control.h"

#include "browser/event_object.h"
#include "browser/request_filter.h"

#include <QWebEnginePage>
#include <QWebEngineSettings>

namespace kestrix {

void ApplyDownloadControl(const TEventObject& site, QWebEnginePage& page,
                          PageRequestFilter& filter) {
  const bool download_only = site.Has(TDownloadOption::DownloadOnly);
  QWebEngineSettings* settings = page.settings();
  settings->setAttribute(QWebEngineSettings::AutoLoadImages,
                         site.Has(TDownloadOption::Images) && !download_only);
  settings->setAttribute(QWebEngineSettings::JavascriptEnabled,
                         !site.Has(TDownloadOption::NoScripts));
  settings->setAttribute(QWebEngineSettings::PluginsEnabled,
                         !download_only && !site.Has(TDownloadOption::NoRunActiveX));

  TRequestRules rules = filter.Rules();
  rules.offline = site.Has(TDownloadOption::ForceOffline);
  rules.block_frames = site.Has(TDownloadOption::NoFrameDownload);
  rules.download_only = download_only;
  // The engine still shows images it holds when told not to load them; a
  // page reloaded with images off must show none.
  rules.no_images = !site.Has(TDownloadOption::Images);
  rules.no_cache = site.Has(TDownloadOption::PragmaNoCache);
  filter.SetRules(rules);
  page.setUrlRequestInterceptor(&filter);
}

}  // namespace kestrix
