// The process-wide options kept in section "Options" of the settings file.
// One object holds them; whoever needs them is handed a reference, and a
// download worker reads them afresh at the start of every request.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrix {

class IniDocument;
class IniFile;

// The agent choice that names this program (choices 0..4 are the older
// ones: none, and four browsers' texts).
inline constexpr int kAgentProgram = 5;

struct TGlobalOptions {
  std::string DownLoadFolder;  // always ends in "/"
  std::string DefaultDoc = "index.html";
  bool ToTray = false;
  int ThreadCount = 1;
  int TimeOut = 300;  // seconds without any event before a request is given up
  bool RetryFlag = false;
  bool GlobalOfflineFlag = true;
  bool DirectFlag = true;
  bool ProxyFlag = false;
  std::string ProxyHost;
  std::string ProxyPort = "8080";
  std::string ProxyUser;
  std::string ProxyPswd;  // plain in memory, scrambled in the file
  bool ProxyCach = false;
  int Agent = kAgentProgram;
  std::string MSIEVer = "5.5";
  std::string NNAVVer = "7.0";
  std::string OperaVer = "7.11";
  std::string AnyBrowser;
  // https: take certificates that cannot be verified (off: they fail the
  // request), and a PEM file of authorities trusted besides the system's.
  bool TlsAcceptUnverified = false;
  std::string TlsCaFile;
  // Keep a worker's connection open for its next file from the same
  // server, when the server agrees.
  bool KeepAlive = true;
  // HTTP/1.1 with compressed replies; HTTP/1.0 (which asks for no
  // compression) for the servers that need the old requests.
  bool UseHttp10 = false;
  bool Compression = true;
  // Politeness towards the sites copied: their robots.txt rules, at most
  // this many requests to one host at once, and a pause (milliseconds)
  // between the end of one request to a host and the next.
  bool FollowRobots = true;
  int PerHostConnections = 4;
  int WaitMs = 0;
  // For one run of the command line only; never stored.
  bool RandomWait = false;   // each pause drawn between 0.5 and 1.5 times WaitMs
  int64_t LimitRate = 0;     // bytes per second for the whole run; 0 = no cap
  std::string CookieImport;  // a cookies.txt file taken into the project's jar
  std::string CookieExport;  // where the jar is written besides, when the run ends

  // Limits that keep a run bounded on any site; 0 turns one off. A page
  // larger than MaxParsedPage is saved as received but not analysed (its
  // analysis holds the whole page in memory). The file caps count decoded
  // bytes and seconds of one file, the run caps body bytes, files fetched
  // and seconds of one run.
  int64_t MaxParsedPage = int64_t{32} * 1024 * 1024;
  int64_t MaxFileSize = 0;
  int MaxFileTime = 0;
  int64_t MaxTotal = 0;
  int MaxFiles = 0;
  int MaxTime = 0;
  // Crawl-trap guards; 0 turns one off. Links are not queued whose URL is
  // longer than MaxUrlLength bytes, whose path repeats one segment or a run
  // of segments MaxPathRepeats times in a row, or that would be the query
  // string past MaxQueryVariants different ones for the same path.
  int MaxUrlLength = 2048;
  int MaxPathRepeats = 3;
  int MaxQueryVariants = 1000;

  bool operator==(const TGlobalOptions&) const = default;
};

// Reads every key of section "Options"; absent keys and non-numeric integers
// take their defaults, a blank DownLoadFolder takes `defaultDownloadFolder`,
// and DownLoadFolder always ends in "/". The caller hands GlobalOfflineFlag
// on to its OfflineState.
TGlobalOptions ReadOptions(const IniDocument& doc, const std::string& defaultDownloadFolder);
TGlobalOptions ReadOptions(const IniFile& ini, const std::string& defaultDownloadFolder);

// Writes every key in the fixed order; ProxyPswd is written scrambled. The
// file form is one atomic replace that leaves the file readable by its owner
// only, and reports whether it succeeded.
bool WriteOptions(IniDocument& doc, const TGlobalOptions& options);
bool WriteOptions(IniFile& ini, const TGlobalOptions& options);

// Each byte is taken as one 16-bit character (Latin-1) and stored as four
// upper-case hexadecimal digits.
std::string ScramblePassword(const std::string& plain);
// Reads groups of four hexadecimal digits; digits after the last full group
// are ignored, and decoding stops at the first group that is not
// hexadecimal, keeping what came before it. A character outside 8 bits
// becomes "?".
std::string UnscramblePassword(const std::string& scrambled);

// The user-agent text for the `Agent` choice; nullopt for a value outside
// 0..5, which leaves the client's agent as it was. Choice 5, the default,
// names the program and its version, as copiers do, so that sites can tell
// it apart and its robots.txt group reaches it.
std::optional<std::string> AgentText(const TGlobalOptions& options);
std::string ProgramAgentText();

}  // namespace kestrix
