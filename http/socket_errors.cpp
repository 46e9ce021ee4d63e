#include "http/socket_errors.h"

#include <netdb.h>

#include <cerrno>
#include <utility>

namespace kestrix {
namespace {

struct TErrorText {
  int Code;
  const char* Text;
};

// The text of every code the program records, keyed by its name.
constexpr TErrorText kErrorTexts[] = {
    {WSAEINTR, "Interrupted system call"},
    {WSAEBADF, "Bad file number"},
    {WSAEACCES, "Permission denied"},
    {WSAEFAULT, "Bad address"},
    {WSAEINVAL, "Invalid argument"},
    {WSAEMFILE, "Too many open files"},
    {WSAEWOULDBLOCK, "Operation would block"},
    {WSAEINPROGRESS, "Operation now in progress"},
    {WSAEALREADY, "Operation already in progress"},
    {WSAENOTSOCK, "Socket operation on non-socket"},
    {WSAEDESTADDRREQ, "Destination address required"},
    {WSAEMSGSIZE, "Message too long"},
    {WSAEPROTOTYPE, "Protocol wrong type for socket"},
    {WSAENOPROTOOPT, "Protocol not available"},
    {WSAEPROTONOSUPPORT, "Protocol not supported"},
    {WSAESOCKTNOSUPPORT, "Socket type not supported"},
    {WSAEOPNOTSUPP, "Operation not supported on socket"},
    {WSAEPFNOSUPPORT, "Protocol family not supported"},
    {WSAEAFNOSUPPORT, "Address family not supported by protocol family"},
    {WSAEADDRINUSE, "Address already in use"},
    {WSAEADDRNOTAVAIL, "Address not available"},
    {WSAENETDOWN, "Network is down"},
    {WSAENETUNREACH, "Network is unreachable"},
    {WSAENETRESET, "Network dropped connection on reset"},
    {WSAECONNABORTED, "Connection aborted"},
    {WSAECONNRESET, "Connection reset by peer"},
    {WSAENOBUFS, "No buffer space available"},
    {WSAEISCONN, "Socket is already connected"},
    {WSAENOTCONN, "Socket is not connected"},
    {WSAESHUTDOWN, "Can't send after socket shutdown"},
    {WSAETOOMANYREFS, "Too many references: can't splice"},
    {WSAETIMEDOUT, "Connection timed out"},
    {WSAECONNREFUSED, "Connection refused"},
    {WSAELOOP, "Too many levels of symbolic links"},
    {WSAENAMETOOLONG, "File name too long"},
    {WSAEHOSTDOWN, "Host is down"},
    {WSAEHOSTUNREACH, "No route to host"},
    {WSAENOTEMPTY, "Directory not empty"},
    {WSAEPROCLIM, "Too many processes"},
    {WSAEUSERS, "Too many users"},
    {WSAEDQUOT, "Disc quota exceeded"},
    {WSAESTALE, "Stale NFS file handle"},
    {WSAEREMOTE, "Too many levels of remote in path"},
    {WSASYSNOTREADY, "Network sub-system is unusable"},
    {WSAVERNOTSUPPORTED, "WinSock DLL cannot support this application"},
    {WSANOTINITIALISED, "WinSock not initialized"},
    {WSAHOST_NOT_FOUND, "Host not found"},
    {WSATRY_AGAIN, "Non-authoritative host not found"},
    {WSANO_RECOVERY, "Non-recoverable error"},
    {WSANO_DATA, "No Data"},
    {kErrShortBody, "Connection closed before the body ended"},
    {kErrUndecodableBody, "Body cannot be decoded"},
    {kErrUnframedReply, "Reply cannot be framed"},
    {kErrCertNotTrusted, "certificate not trusted"},
    {kErrCertExpired, "certificate expired"},
    {kErrCertHostMismatch, "certificate does not match host"},
    {kErrTlsHandshake, "TLS handshake failed"},
    {kErrTlsTruncated, "Connection closed without TLS close notify"},
    {kErrProxyTunnel, "proxy refused the tunnel"},
    {kErrCannotWrite, "Cannot write the file"},
    {kErrDiskFull, "Disk full"},
    {kErrFileTooLarge, "larger than the size limit"},
    {kErrFileTooSlow, "took longer than the time limit"},
};

}  // namespace

std::string WSocketErrorText(int code) {
  if (code == 0) return "No Error";
  for (const TErrorText& entry : kErrorTexts) {
    if (entry.Code == code) return entry.Text;
  }
  return "Not a WinSock error";
}

bool IsTlsError(int code) {
  return code >= kErrCertNotTrusted && code <= kErrTlsTruncated;
}

int WinsockErrorFromErrno(int err) {
  static constexpr std::pair<int, int> kMap[] = {
      {EINTR, WSAEINTR},
      {EBADF, WSAEBADF},
      {EACCES, WSAEACCES},
      {EPERM, WSAEACCES},
      {EFAULT, WSAEFAULT},
      {EINVAL, WSAEINVAL},
      {EMFILE, WSAEMFILE},
      {ENFILE, WSAEMFILE},
      {EAGAIN, WSAEWOULDBLOCK},
      {EINPROGRESS, WSAEINPROGRESS},
      {EALREADY, WSAEALREADY},
      {ENOTSOCK, WSAENOTSOCK},
      {EDESTADDRREQ, WSAEDESTADDRREQ},
      {EMSGSIZE, WSAEMSGSIZE},
      {EPROTOTYPE, WSAEPROTOTYPE},
      {ENOPROTOOPT, WSAENOPROTOOPT},
      {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
      {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
      {EOPNOTSUPP, WSAEOPNOTSUPP},
      {EPFNOSUPPORT, WSAEPFNOSUPPORT},
      {EAFNOSUPPORT, WSAEAFNOSUPPORT},
      {EADDRINUSE, WSAEADDRINUSE},
      {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
      {ENETDOWN, WSAENETDOWN},
      {ENETUNREACH, WSAENETUNREACH},
      {ENETRESET, WSAENETRESET},
      {ECONNABORTED, WSAECONNABORTED},
      {ECONNRESET, WSAECONNRESET},
      {EPIPE, WSAECONNRESET},
      {ENOBUFS, WSAENOBUFS},
      {ENOMEM, WSAENOBUFS},
      {EISCONN, WSAEISCONN},
      {ENOTCONN, WSAENOTCONN},
      {ESHUTDOWN, WSAESHUTDOWN},
      {ETOOMANYREFS, WSAETOOMANYREFS},
      {ETIMEDOUT, WSAETIMEDOUT},
      {ECONNREFUSED, WSAECONNREFUSED},
      {ELOOP, WSAELOOP},
      {ENAMETOOLONG, WSAENAMETOOLONG},
      {EHOSTDOWN, WSAEHOSTDOWN},
      {EHOSTUNREACH, WSAEHOSTUNREACH},
      {ENOTEMPTY, WSAENOTEMPTY},
      {EUSERS, WSAEUSERS},
      {EDQUOT, WSAEDQUOT},
      {ESTALE, WSAESTALE},
      {EREMOTE, WSAEREMOTE},
  };
  if (err == 0) return 0;
  for (const auto& [from, to] : kMap) {
    if (from == err) return to;
  }
  // Unknown system errors still have to read as failures, never as success.
  return WSAEINVAL;
}

int WinsockErrorFromLookup(int gaiResult) {
  switch (gaiResult) {
    case 0:
      return 0;
    case EAI_AGAIN:
      return WSATRY_AGAIN;
    case EAI_FAIL:
      return WSANO_RECOVERY;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
      return WSANO_DATA;
    default:
      return WSAHOST_NOT_FOUND;
  }
}

}  // namespace kestrix
