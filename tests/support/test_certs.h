// A certificate authority and server certificates made by the openssl
// command line in a scratch folder, for TLS servers on 127.0.0.1.
#pragma once

#include <string>

#include "tests/support/scratch_dir.h"

namespace kestrix::test {

struct TCertPair {
  std::string Cert, Key;  // PEM file paths
};

class TTestCerts {
 public:
  TTestCerts() = default;
  // False with Error() set when openssl is missing or fails.
  bool Make();

  std::string CaFile() const { return dir_.Path() + "ca.pem"; }
  TCertPair Valid() const { return Pair("valid"); }          // 127.0.0.1 and localhost
  TCertPair WrongHost() const { return Pair("wronghost"); }  // other.invalid only
  TCertPair Expired() const { return Pair("expired"); }
  TCertPair SelfSigned() const { return Pair("self"); }  // not issued by the CA
  const std::string& Error() const { return error_; }

 private:
  TCertPair Pair(const std::string& name) const {
    return {dir_.Path() + name + ".pem", dir_.Path() + name + ".key"};
  }
  bool Run(const std::string& command);
  bool Issue(const std::string& name, const std::string& altNames, int days);

  TScratchDir dir_;
  std::string error_;
};

}  // namespace kestrix::test
