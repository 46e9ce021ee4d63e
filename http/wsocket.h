// The socket as the program uses it: the core socket plus the settings of
// the SOCKS and line-mode layers. The program configures neither, so those
// layers only keep and validate their settings. The TLS layer sits between
// the core socket and this published class.
#pragma once

#include <string>

#include "http/ssl_wsocket.h"

namespace kestrix {

enum TSocksAuthentication : std::uint8_t { socksNoAuthentication, socksAuthenticateUsercode };

class TWSocket : public TSslWSocket {
 public:
  TWSocket() = default;

  const std::string& SocksLevel() const { return socksLevel_; }
  // "4", "4A", "4a" or "5"; stored upper-cased.
  void SetSocksLevel(const std::string& value);
  const std::string& SocksServer() const { return socksServer_; }
  void SetSocksServer(const std::string& value);
  const std::string& SocksPort() const { return socksPort_; }
  void SetSocksPort(const std::string& value);
  std::string SocksUsercode;
  std::string SocksPassword;
  TSocksAuthentication SocksAuthentication = socksNoAuthentication;

  // Events of the layers the program leaves unused; never fired.
  TErrorEvent OnSocksConnected;
  std::function<void(TCustomWSocket& sender, int error, const std::string& msg)> OnSocksError;
  std::function<void(TCustomWSocket& sender, int authState)> OnSocksAuthState;
  std::function<void(TCustomWSocket& sender)> OnLineTooLong;

  bool LineMode = false;
  std::string LineEnd = "\r\n";
  bool LineEcho = false;
  bool LineEdit = false;

 private:
  std::string socksLevel_ = "5";
  std::string socksServer_;
  std::string socksPort_;
};

}  // namespace kestrix
