#include "http/socket_errors.h"

#include <netdb.h>

#include <cerrno>
#include <utility>

namespace kestrix {

std::string WSocketErrorText(int code) {
  switch (code) {
    case 0:
      return "No Error";
    case 10004:
      return "Interrupted system call";
    case 10009:
      return "Bad file number";
    case 10013:
      return "Permission denied";
    case 10014:
      return "Bad address";
    case 10022:
      return "Invalid argument";
    case 10024:
      return "Too many open files";
    case 10035:
      return "Operation would block";
    case 10036:
      return "Operation now in progress";
    case 10037:
      return "Operation already in progress";
    case 10038:
      return "Socket operation on non-socket";
    case 10039:
      return "Destination address required";
    case 10040:
      return "Message too long";
    case 10041:
      return "Protocol wrong type for socket";
    case 10042:
      return "Protocol not available";
    case 10043:
      return "Protocol not supported";
    case 10044:
      return "Socket type not supported";
    case 10045:
      return "Operation not supported on socket";
    case 10046:
      return "Protocol family not supported";
    case 10047:
      return "Address family not supported by protocol family";
    case 10048:
      return "Address already in use";
    case 10049:
      return "Address not available";
    case 10050:
      return "Network is down";
    case 10051:
      return "Network is unreachable";
    case 10052:
      return "Network dropped connection on reset";
    case 10053:
      return "Connection aborted";
    case 10054:
      return "Connection reset by peer";
    case 10055:
      return "No buffer space available";
    case 10056:
      return "Socket is already connected";
    case 10057:
      return "Socket is not connected";
    case 10058:
      return "Can't send after socket shutdown";
    case 10059:
      return "Too many references: can't splice";
    case 10060:
      return "Connection timed out";
    case 10061:
      return "Connection refused";
    case 10062:
      return "Too many levels of symbolic links";
    case 10063:
      return "File name too long";
    case 10064:
      return "Host is down";
    case 10065:
      return "No route to host";
    case 10066:
      return "Directory not empty";
    case 10067:
      return "Too many processes";
    case 10068:
      return "Too many users";
    case 10069:
      return "Disc quota exceeded";
    case 10070:
      return "Stale NFS file handle";
    case 10071:
      return "Too many levels of remote in path";
    case 10091:
      return "Network sub-system is unusable";
    case 10092:
      return "WinSock DLL cannot support this application";
    case 10093:
      return "WinSock not initialized";
    case 11001:
      return "Host not found";
    case 11002:
      return "Non-authoritative host not found";
    case 11003:
      return "Non-recoverable error";
    case 11004:
      return "No Data";
    case kErrShortBody:
      return "Connection closed before the body ended";
    case kErrUndecodableBody:
      return "Body cannot be decoded";
    case kErrUnframedReply:
      return "Reply cannot be framed";
    case kErrCertNotTrusted:
      return "certificate not trusted";
    case kErrCertExpired:
      return "certificate expired";
    case kErrCertHostMismatch:
      return "certificate does not match host";
    case kErrTlsHandshake:
      return "TLS handshake failed";
    case kErrTlsTruncated:
      return "Connection closed without TLS close notify";
    case kErrProxyTunnel:
      return "proxy refused the tunnel";
    default:
      return "Not a WinSock error";
  }
}

bool IsTlsError(int code) {
  return code >= kErrCertNotTrusted && code <= kErrTlsTruncated;
}

int WinsockErrorFromErrno(int err) {
  static constexpr std::pair<int, int> kMap[] = {
      {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
      {EPERM, 10013},        {EFAULT, 10014},          {EINVAL, 10022},
      {EMFILE, 10024},       {ENFILE, 10024},          {EAGAIN, 10035},
      {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},
      {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
      {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
      {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
      {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
      {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
      {ECONNRESET, 10054},   {EPIPE, 10054},           {ENOBUFS, 10055},
      {ENOMEM, 10055},       {EISCONN, 10056},         {ENOTCONN, 10057},
      {ESHUTDOWN, 10058},    {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
      {ECONNREFUSED, 10061}, {ELOOP, 10062},           {ENAMETOOLONG, 10063},
      {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
      {EUSERS, 10068},       {EDQUOT, 10069},          {ESTALE, 10070},
      {EREMOTE, 10071},
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
