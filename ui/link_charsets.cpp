#include "ui/link_charsets.h"

#include <fstream>

#include "core/declared_charset.h"
#include "core/url_list.h"

namespace kestrix {
namespace {

// Where a page declares its charset: in its head.
constexpr std::streamsize kHeadBytes = 4096;

}  // namespace

const std::string& TLinkCharsets::Of(int32_t row) const {
  static const std::string kUnknown;
  if (row < 0 || row >= queue_.Count()) return kUnknown;
  const int32_t page = queue_.Entry(row).ParentIndex;
  if (page < 0 || page >= queue_.Count()) return kUnknown;
  const auto found = byPage_.find(page);
  if (found != byPage_.end()) return found->second;
  const TRetriveRec& parent = queue_.Entry(page);
  std::string head(static_cast<size_t>(kHeadBytes), '\0');
  std::ifstream file(parent.LocalFolder + parent.LocalFileName, std::ios::binary);
  file.read(head.data(), kHeadBytes);
  head.resize(static_cast<size_t>(file.gcount()));
  const bool converted =
      parent.IsHtml != 0 && Koi8Converts(parent.Job.Settings(), parent.RemoteFlag);
  return byPage_.emplace(page, head.empty() ? std::string() : SavedPageCharset(head, converted))
      .first->second;
}

}  // namespace kestrix
