#include "core/global_options.h"

#include <cstdint>

#include "core/byte_size.h"
#include "core/file_util.h"
#include "core/ini_file.h"

namespace kestrix {

namespace {

constexpr std::string_view kSection = "Options";
constexpr uint32_t kScrambleStep = 0x5C3A;

bool IsBlankText(const std::string& text) {
  return text.find_first_not_of(" \t") == std::string::npos;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A limit from the file: a size ("32M" or plain bytes) or a count; a value
// that is not one, or is negative, keeps the default.
int64_t ReadSize(const IniDocument& doc, std::string_view key, int64_t fallback) {
  const std::optional<int64_t> size = ParseByteSize(doc.ReadString(kSection, key, ""));
  return size.value_or(fallback);
}

int ReadLimit(const IniDocument& doc, std::string_view key, int fallback) {
  const int value = doc.ReadInteger(kSection, key, fallback);
  return value < 0 ? fallback : value;
}

}  // namespace

TGlobalOptions ReadOptions(const IniDocument& doc, const std::string& defaultDownloadFolder) {
  TGlobalOptions o;
  const TGlobalOptions d;
  o.DownLoadFolder = doc.ReadString(kSection, "DownLoadFolder", defaultDownloadFolder);
  if (IsBlankText(o.DownLoadFolder)) o.DownLoadFolder = defaultDownloadFolder;
  // Every download path is built by appending to this folder.
  o.DownLoadFolder = AddBackslash(o.DownLoadFolder);
  o.DefaultDoc = doc.ReadString(kSection, "DefaultDoc", d.DefaultDoc);
  o.ToTray = doc.ReadBool(kSection, "ToTray", d.ToTray);
  o.ThreadCount = doc.ReadInteger(kSection, "ThreadCount", d.ThreadCount);
  o.TimeOut = doc.ReadInteger(kSection, "TimeOut", d.TimeOut);
  o.RetryFlag = doc.ReadBool(kSection, "RetryFlag", d.RetryFlag);
  o.GlobalOfflineFlag = doc.ReadBool(kSection, "GlobalOfflineFlag", d.GlobalOfflineFlag);
  o.DirectFlag = doc.ReadBool(kSection, "DirectFlag", d.DirectFlag);
  o.ProxyFlag = doc.ReadBool(kSection, "ProxyFlag", d.ProxyFlag);
  o.ProxyHost = doc.ReadString(kSection, "ProxyHost", d.ProxyHost);
  o.ProxyPort = doc.ReadString(kSection, "ProxyPort", d.ProxyPort);
  o.ProxyUser = doc.ReadString(kSection, "ProxyUser", d.ProxyUser);
  o.ProxyPswd = UnscramblePassword(doc.ReadString(kSection, "ProxyPswd", ""));
  o.ProxyCach = doc.ReadBool(kSection, "ProxyCach", d.ProxyCach);
  o.TlsAcceptUnverified = doc.ReadBool(kSection, "TlsAcceptUnverified", d.TlsAcceptUnverified);
  o.TlsCaFile = doc.ReadString(kSection, "TlsCaFile", d.TlsCaFile);
  o.KeepAlive = doc.ReadBool(kSection, "KeepAlive", d.KeepAlive);
  o.UseHttp10 = doc.ReadBool(kSection, "UseHttp10", d.UseHttp10);
  o.Compression = doc.ReadBool(kSection, "Compression", d.Compression);
  o.FollowRobots = doc.ReadBool(kSection, "FollowRobots", d.FollowRobots);
  o.PerHostConnections = doc.ReadInteger(kSection, "PerHostConnections", d.PerHostConnections);
  o.WaitMs = doc.ReadInteger(kSection, "WaitMs", d.WaitMs);
  o.Agent = doc.ReadInteger(kSection, "Agent", d.Agent);
  o.MSIEVer = doc.ReadString(kSection, "MSIEVer", d.MSIEVer);
  o.NNAVVer = doc.ReadString(kSection, "NNAVVer", d.NNAVVer);
  o.OperaVer = doc.ReadString(kSection, "OperaVer", d.OperaVer);
  o.AnyBrowser = doc.ReadString(kSection, "AnyBrowser", d.AnyBrowser);
  o.MaxParsedPage = ReadSize(doc, "MaxParsedPage", d.MaxParsedPage);
  o.MaxFileSize = ReadSize(doc, "MaxFileSize", d.MaxFileSize);
  o.MaxFileTime = ReadLimit(doc, "MaxFileTime", d.MaxFileTime);
  o.MaxTotal = ReadSize(doc, "MaxTotal", d.MaxTotal);
  o.MaxFiles = ReadLimit(doc, "MaxFiles", d.MaxFiles);
  o.MaxTime = ReadLimit(doc, "MaxTime", d.MaxTime);
  o.MaxUrlLength = ReadLimit(doc, "MaxUrlLength", d.MaxUrlLength);
  o.MaxPathRepeats = ReadLimit(doc, "MaxPathRepeats", d.MaxPathRepeats);
  o.MaxQueryVariants = ReadLimit(doc, "MaxQueryVariants", d.MaxQueryVariants);
  return o;
}

TGlobalOptions ReadOptions(const IniFile& ini, const std::string& defaultDownloadFolder) {
  return ReadOptions(ini.Read(), defaultDownloadFolder);
}

bool WriteOptions(IniDocument& doc, const TGlobalOptions& o) {
  bool ok = doc.WriteString(kSection, "DownLoadFolder", o.DownLoadFolder);
  ok &= doc.WriteString(kSection, "DefaultDoc", o.DefaultDoc);
  ok &= doc.WriteBool(kSection, "ToTray", o.ToTray);
  ok &= doc.WriteInteger(kSection, "ThreadCount", o.ThreadCount);
  ok &= doc.WriteInteger(kSection, "TimeOut", o.TimeOut);
  ok &= doc.WriteBool(kSection, "RetryFlag", o.RetryFlag);
  ok &= doc.WriteBool(kSection, "GlobalOfflineFlag", o.GlobalOfflineFlag);
  ok &= doc.WriteBool(kSection, "DirectFlag", o.DirectFlag);
  ok &= doc.WriteBool(kSection, "ProxyFlag", o.ProxyFlag);
  ok &= doc.WriteString(kSection, "ProxyHost", o.ProxyHost);
  ok &= doc.WriteString(kSection, "ProxyPort", o.ProxyPort);
  ok &= doc.WriteString(kSection, "ProxyUser", o.ProxyUser);
  ok &= doc.WriteString(kSection, "ProxyPswd", ScramblePassword(o.ProxyPswd));
  ok &= doc.WriteBool(kSection, "ProxyCach", o.ProxyCach);
  ok &= doc.WriteInteger(kSection, "Agent", o.Agent);
  ok &= doc.WriteString(kSection, "MSIEVer", o.MSIEVer);
  ok &= doc.WriteString(kSection, "NNAVVer", o.NNAVVer);
  ok &= doc.WriteString(kSection, "OperaVer", o.OperaVer);
  ok &= doc.WriteString(kSection, "AnyBrowser", o.AnyBrowser);
  ok &= doc.WriteBool(kSection, "TlsAcceptUnverified", o.TlsAcceptUnverified);
  ok &= doc.WriteString(kSection, "TlsCaFile", o.TlsCaFile);
  ok &= doc.WriteBool(kSection, "KeepAlive", o.KeepAlive);
  ok &= doc.WriteBool(kSection, "UseHttp10", o.UseHttp10);
  ok &= doc.WriteBool(kSection, "Compression", o.Compression);
  ok &= doc.WriteBool(kSection, "FollowRobots", o.FollowRobots);
  ok &= doc.WriteInteger(kSection, "PerHostConnections", o.PerHostConnections);
  ok &= doc.WriteInteger(kSection, "WaitMs", o.WaitMs);
  ok &= doc.WriteString(kSection, "MaxParsedPage", std::to_string(o.MaxParsedPage));
  ok &= doc.WriteString(kSection, "MaxFileSize", std::to_string(o.MaxFileSize));
  ok &= doc.WriteInteger(kSection, "MaxFileTime", o.MaxFileTime);
  ok &= doc.WriteString(kSection, "MaxTotal", std::to_string(o.MaxTotal));
  ok &= doc.WriteInteger(kSection, "MaxFiles", o.MaxFiles);
  ok &= doc.WriteInteger(kSection, "MaxTime", o.MaxTime);
  ok &= doc.WriteInteger(kSection, "MaxUrlLength", o.MaxUrlLength);
  ok &= doc.WriteInteger(kSection, "MaxPathRepeats", o.MaxPathRepeats);
  ok &= doc.WriteInteger(kSection, "MaxQueryVariants", o.MaxQueryVariants);
  return ok;
}

bool WriteOptions(IniFile& ini, const TGlobalOptions& options) {
  // The section holds the proxy password, scrambled but not encrypted.
  constexpr bool kOwnerOnly = true;
  return ini.Update([&options](IniDocument& doc) { return WriteOptions(doc, options); },
                    kOwnerOnly);
}

std::string ScramblePassword(const std::string& plain) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(plain.size() * 4);
  uint32_t position = 0;
  for (const char byte : plain) {
    const uint32_t c = static_cast<unsigned char>(byte);
    ++position;
    uint32_t v = ((c / 3) * 10 + c % 3) & 0xFFFFu;
    v = (v ^ (position * kScrambleStep)) & 0xFFFFu;
    for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(v >> shift) & 0xFu];
  }
  return text;
}

std::string UnscramblePassword(const std::string& scrambled) {
  std::string plain;
  uint32_t group = 0;
  for (size_t at = 0; at + 4 <= scrambled.size(); at += 4) {
    uint32_t w = 0;
    for (size_t i = at; i < at + 4; ++i) {
      const int digit = HexDigit(scrambled[i]);
      if (digit < 0) return plain;
      w = (w << 4) | static_cast<uint32_t>(digit);
    }
    ++group;
    w = (w ^ (group * kScrambleStep)) & 0xFFFFu;
    const uint32_t c = (w / 10) * 3 + w % 10;
    plain += c <= 0xFFu ? static_cast<char>(c) : '?';
  }
  return plain;
}

std::string ProgramAgentText() {
  return std::string("Kestrix/") + KESTRIX_VERSION + " (offline site copier)";
}

std::optional<std::string> AgentText(const TGlobalOptions& o) {
  switch (o.Agent) {
    case 0:
      return std::string();
    case 1:
      return "MSIE " + o.MSIEVer + "; Update a Windows 95";
    case 2:
      return "Mozilla/" + o.NNAVVer + " [en] (Win95; I)";
    case 3:
      return "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1) Opera " + o.OperaVer + "  [en]";
    case 4:
      return o.AnyBrowser;
    case kAgentProgram:
      return ProgramAgentText();
    default:
      return std::nullopt;
  }
}

}  // namespace kestrix
