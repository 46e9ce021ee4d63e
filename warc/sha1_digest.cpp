#include "warc/sha1_digest.h"

#include <openssl/evp.h>

#include <new>

namespace kestrix {

struct TSha1Digest::Context {
  EVP_MD_CTX* md = nullptr;
};

TSha1Digest::TSha1Digest() : context_(new Context) {
  context_->md = EVP_MD_CTX_new();
  if (context_->md == nullptr || EVP_DigestInit_ex(context_->md, EVP_sha1(), nullptr) != 1) {
    EVP_MD_CTX_free(context_->md);
    delete context_;
    throw std::bad_alloc();
  }
}

TSha1Digest::~TSha1Digest() {
  EVP_MD_CTX_free(context_->md);
  delete context_;
}

void TSha1Digest::Update(const char* data, std::size_t size) {
  if (size > 0) EVP_DigestUpdate(context_->md, data, size);
}

std::string TSha1Digest::Label() const {
  // Finishing consumes a context, so finish a copy and keep the original.
  EVP_MD_CTX* copy = EVP_MD_CTX_new();
  unsigned char bytes[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (copy == nullptr || EVP_MD_CTX_copy_ex(copy, context_->md) != 1 ||
      EVP_DigestFinal_ex(copy, bytes, &size) != 1) {
    EVP_MD_CTX_free(copy);
    throw std::bad_alloc();
  }
  EVP_MD_CTX_free(copy);
  return "sha1:" + Base32(std::string_view(reinterpret_cast<const char*>(bytes), size));
}

std::string Base32(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
  std::string out;
  unsigned buffer = 0;
  int bits = 0;
  for (unsigned char byte : bytes) {
    buffer = (buffer << 8) | byte;
    bits += 8;
    while (bits >= 5) {
      out += kAlphabet[(buffer >> (bits - 5)) & 31];
      bits -= 5;
    }
  }
  if (bits > 0) out += kAlphabet[(buffer << (5 - bits)) & 31];
  while (out.size() % 8 != 0) out += '=';
  return out;
}

}  // namespace kestrix
