#include "tests/support/test_certs.h"

#include <cstdlib>

namespace kestrix::test {

bool TTestCerts::Run(const std::string& command) {
  const std::string line = "cd '" + dir_.Path() + "' && " + command + " >>openssl.log 2>&1";
  if (std::system(line.c_str()) == 0) return true;
  error_ = "openssl failed: " + command + "\n" + ReadWholeFile(dir_.Path() + "openssl.log");
  return false;
}

bool TTestCerts::Issue(const std::string& name, const std::string& altNames, int days) {
  dir_.WriteFile(name + ".ext", "subjectAltName=" + altNames + "\n");
  return Run("openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout " + name +
             ".key -out " + name + ".csr -subj /CN=" + name) &&
         Run("openssl x509 -req -in " + name + ".csr -CA ca.pem -CAkey ca.key -CAcreateserial" +
             " -days " + std::to_string(days) + " -extfile " + name + ".ext -out " + name + ".pem");
}

bool TTestCerts::Make() {
  const std::string local = "IP:127.0.0.1,DNS:localhost";
  return Run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes"
             " -keyout ca.key -out ca.pem -subj /CN=KestrixTestCA -days 2") &&
         Issue("valid", local, 2) && Issue("wronghost", "DNS:other.invalid", 2) &&
         // A negative count puts the end a day before the start: expired.
         Issue("expired", local, -1) &&
         Run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes"
             " -keyout self.key -out self.pem -subj /CN=127.0.0.1 -days 2"
             " -addext subjectAltName=" +
             local);
}

}  // namespace kestrix::test
