// Decides, request by request, what a hosted page may fetch. Every page the
// program hosts goes through one of these, so the program's offline switch
// and the download-control options are obeyed in one place.
#pragma once

#include <QWebEngineUrlRequestInterceptor>

#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

class OfflineState;

struct TRequestRules {
  bool offline = false;        // nothing from the network
  bool block_frames = false;   // no frame or inline frame documents
  bool download_only = false;  // the page itself and nothing it refers to
  bool no_cache = false;       // ask servers and caches for fresh copies
  bool no_images = false;      // no images
  // When set, only the page document of this scheme passes: the hidden page
  // of the script executor lives in such a sealed world.
  std::string sealed_scheme;
  // When set, file URLs load only from inside this folder; an empty folder
  // lets no file through.
  std::optional<std::string> file_root;
};

enum class TRequestKind { MainFrame, SubFrame, Image, Other };

// Whether `path` lies inside `folder` (below it, not the folder itself),
// with links and ".." resolved on both sides. False when either is empty.
bool IsInsideFolder(const std::string& folder, const std::string& path);

// Schemes whose content never leaves the machine.
bool IsLocalScheme(std::string_view scheme);

// `global_offline` is the program's offline switch at the time of the request.
bool MayLoad(const TRequestRules& rules, bool global_offline, std::string_view scheme,
             TRequestKind kind);

class PageRequestFilter final : public QWebEngineUrlRequestInterceptor {
 public:
  // `offline` may be null (no program-wide switch); it must outlive the filter.
  explicit PageRequestFilter(const OfflineState* offline, QObject* parent = nullptr);

  void SetRules(const TRequestRules& rules) { rules_ = rules; }
  const TRequestRules& Rules() const { return rules_; }

  // Called on the application's thread, like everything else that reads the
  // offline switch.
  void interceptRequest(QWebEngineUrlRequestInfo& info) override;

 private:
  const OfflineState* offline_;
  TRequestRules rules_;
};

}  // namespace kestrix
