// SHA-1 computed piece by piece, written the way web archives name their
// digests: "sha1:" followed by the base32 form of the 20 bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrix {

class TSha1Digest {
 public:
  TSha1Digest();
  ~TSha1Digest();
  TSha1Digest(const TSha1Digest&) = delete;
  TSha1Digest& operator=(const TSha1Digest&) = delete;

  void Update(const char* data, std::size_t size);
  void Update(std::string_view data) { Update(data.data(), data.size()); }
  // "sha1:" + base32. The digest may be read more than once; later updates
  // go on from where it stood.
  std::string Label() const;

 private:
  struct Context;
  Context* context_;
};

// RFC 4648 base32 with padding (none is needed for a 20-byte digest).
std::string Base32(std::string_view bytes);

}  // namespace kestrix
