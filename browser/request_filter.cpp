#include "browser/request_filter.h"

#include "core/offline_state.h"

#include <QWebEngineUrlRequestInfo>

#include <array>
#include <filesystem>
#include <system_error>

namespace kestrix {
namespace {

TRequestKind KindOf(QWebEngineUrlRequestInfo::ResourceType type) {
  switch (type) {
    case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
      return TRequestKind::MainFrame;
    case QWebEngineUrlRequestInfo::ResourceTypeSubFrame:
      return TRequestKind::SubFrame;
    case QWebEngineUrlRequestInfo::ResourceTypeImage:
    case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
      return TRequestKind::Image;
    default:
      return TRequestKind::Other;
  }
}

std::string Canonical(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? std::string() : canonical.string();
}

}  // namespace

bool IsInsideFolder(const std::string& folder, const std::string& path) {
  if (folder.empty() || path.empty()) return false;
  std::string root = Canonical(folder);
  if (root.empty()) return false;
  if (root.back() != '/') root += '/';
  const std::string canonical = Canonical(path);
  return canonical.size() > root.size() && canonical.compare(0, root.size(), root) == 0;
}

bool IsLocalScheme(std::string_view scheme) {
  static constexpr std::array<std::string_view, 6> kLocal = {"file", "qrc",   "data",
                                                             "blob", "about", "filesystem"};
  for (std::string_view local : kLocal) {
    if (scheme == local) return true;
  }
  return false;
}

bool MayLoad(const TRequestRules& rules, bool global_offline, std::string_view scheme,
             TRequestKind kind) {
  if (!rules.sealed_scheme.empty()) {
    return scheme == rules.sealed_scheme && kind == TRequestKind::MainFrame;
  }
  if (rules.download_only && kind != TRequestKind::MainFrame) return false;
  if (rules.block_frames && kind == TRequestKind::SubFrame) return false;
  if (rules.no_images && kind == TRequestKind::Image) return false;
  if ((rules.offline || global_offline) && !IsLocalScheme(scheme)) return false;
  return true;
}

PageRequestFilter::PageRequestFilter(const OfflineState* offline, QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent), offline_(offline) {}

void PageRequestFilter::interceptRequest(QWebEngineUrlRequestInfo& info) {
  const bool global_offline = offline_ != nullptr && offline_->IsGlobalOffline();
  const std::string scheme = info.requestUrl().scheme().toLower().toStdString();
  if (!MayLoad(rules_, global_offline, scheme, KindOf(info.resourceType())) ||
      (scheme == "file" && rules_.file_root &&
       !IsInsideFolder(*rules_.file_root, info.requestUrl().toLocalFile().toStdString()))) {
    info.block(true);
    return;
  }
  if (rules_.no_cache) {
    info.setHttpHeader(QByteArrayLiteral("Pragma"), QByteArrayLiteral("no-cache"));
    info.setHttpHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache"));
  }
}

}  // namespace kestrix
