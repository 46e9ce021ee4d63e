// The latest whole capture (a 200 reply) of each URL in the archives of a
// folder, so that the revisit record of a 304 reply can name the capture it
// confirms. Built from the indexes beside the archives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrix {

struct TEarlierCapture {
  std::string recordId;  // "<urn:uuid:...>"
  std::string targetUri;
  std::string date;           // its WARC-Date
  std::string payloadDigest;  // "sha1:..."
};

class TCaptureLookup {
 public:
  // Reads every index (*.cdxj) in `folder`.
  void Load(const std::string& folder);
  // What was captured of `url` (as recorded: see SafeUri) last.
  std::optional<TEarlierCapture> Find(std::string_view url) const;

 private:
  struct TPlace {
    std::string timestamp;
    std::size_t file = 0;
    std::uint64_t offset = 0;
  };

  std::vector<std::string> files_;
  std::unordered_map<std::string, TPlace> latest_;
};

}  // namespace kestrix
