// Bodies as servers code them, made in tests: compressed with zlib or
// brotli, and cut into chunks.
#pragma once

#include <cstddef>
#include <string>

namespace kestrix::test {

// `text` compressed with the given window bits: 31 gzip, 15 zlib, -15 raw.
std::string Deflated(const std::string& text, int windowBits);
std::string Brotli(const std::string& text);
// `body` in chunks of `piece` bytes; with `extras`, each size with an
// extension, and a trailer field after the last chunk.
std::string Chunked(const std::string& body, std::size_t piece, bool extras = true);
// Some lines of text, `lines` long.
std::string SampleText(int lines);

}  // namespace kestrix::test
