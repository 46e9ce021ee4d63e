// Socket error codes and their texts. The program records, shows and stores
// the Winsock numbers, so the POSIX errno values and name-lookup failures are
// mapped onto them here, in one place.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrix {

// The Winsock codes, by the names Winsock gives them. The program records,
// shows and stores the numbers; everything else refers to them by name.
enum : int {
  WSAEINTR = 10004,
  WSAEBADF = 10009,
  WSAEACCES = 10013,
  WSAEFAULT = 10014,
  WSAEINVAL = 10022,
  WSAEMFILE = 10024,
  WSAEWOULDBLOCK = 10035,
  WSAEINPROGRESS = 10036,
  WSAEALREADY = 10037,
  WSAENOTSOCK = 10038,
  WSAEDESTADDRREQ = 10039,
  WSAEMSGSIZE = 10040,
  WSAEPROTOTYPE = 10041,
  WSAENOPROTOOPT = 10042,
  WSAEPROTONOSUPPORT = 10043,
  WSAESOCKTNOSUPPORT = 10044,
  WSAEOPNOTSUPP = 10045,
  WSAEPFNOSUPPORT = 10046,
  WSAEAFNOSUPPORT = 10047,
  WSAEADDRINUSE = 10048,
  WSAEADDRNOTAVAIL = 10049,
  WSAENETDOWN = 10050,
  WSAENETUNREACH = 10051,
  WSAENETRESET = 10052,
  WSAECONNABORTED = 10053,
  WSAECONNRESET = 10054,
  WSAENOBUFS = 10055,
  WSAEISCONN = 10056,
  WSAENOTCONN = 10057,
  WSAESHUTDOWN = 10058,
  WSAETOOMANYREFS = 10059,
  WSAETIMEDOUT = 10060,
  WSAECONNREFUSED = 10061,
  WSAELOOP = 10062,
  WSAENAMETOOLONG = 10063,
  WSAEHOSTDOWN = 10064,
  WSAEHOSTUNREACH = 10065,
  WSAENOTEMPTY = 10066,
  WSAEPROCLIM = 10067,
  WSAEUSERS = 10068,
  WSAEDQUOT = 10069,
  WSAESTALE = 10070,
  WSAEREMOTE = 10071,
  WSASYSNOTREADY = 10091,
  WSAVERNOTSUPPORTED = 10092,
  WSANOTINITIALISED = 10093,
  WSAHOST_NOT_FOUND = 11001,
  WSATRY_AGAIN = 11002,
  WSANO_RECOVERY = 11003,
  WSANO_DATA = 11004,
};

// The program's own outcomes of a fetch, recorded like socket errors but
// outside the Winsock range: the connection closed before the body had the
// length its header announced, a body whose framing or compression could
// not be undone, and a reply whose end cannot be told from its header
// (conflicting lengths, both a length and a transfer coding, an unknown
// transfer coding) or its chunks.
enum : int {
  kErrShortBody = 12001,
  kErrUndecodableBody = 12002,
  kErrUnframedReply = 12003,
};

// Outcomes of the TLS layer: a certificate that failed its check, a
// handshake that failed otherwise, and a stream cut without the peer's
// closing notice (a truncation an attacker or a crash can cause).
enum : int {
  kErrCertNotTrusted = 12010,
  kErrCertExpired = 12011,
  kErrCertHostMismatch = 12012,
  kErrTlsHandshake = 12013,
  kErrTlsTruncated = 12014,
};

// A body the program did not keep: it could not be written (a folder or
// file that cannot be made, a write that failed), the disk or quota is full,
// or it passed the size or time limit of one file.
enum : int {
  kErrCannotWrite = 12030,
  kErrDiskFull = 12031,
  kErrFileTooLarge = 12032,
  kErrFileTooSlow = 12033,
};

// The proxy did not open the tunnel an https request through it needs.
enum : int { kErrProxyTunnel = 12020 };

// True for the TLS codes above.
bool IsTlsError(int code);

// The text of a socket error code; "Not a WinSock error" for unknown codes.
std::string WSocketErrorText(int code);

// The Winsock number for an errno value; 0 for 0.
int WinsockErrorFromErrno(int err);

// The Winsock number (11001..11004) for a getaddrinfo() result.
int WinsockErrorFromLookup(int gaiResult);

// What the socket raises for misuse and failed system calls.
class ESocketException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace kestrix
