#include "cli/job_options.h"

#include <array>
#include <charconv>
#include <climits>
#include <filesystem>

#include "core/byte_size.h"
#include "core/file_util.h"
#include "core/url_split.h"

namespace kestrix {

namespace {

constexpr std::array kJobOptions = {
    OptionSpec{"depth", "N",
               "depth for links on the starting server (default 1; mirror: no limit)"},
    OptionSpec{"remote-depth", "N", "depth for links on other servers (default 1)"},
    OptionSpec{"this-path", "", "stay on the starting path (the default)"},
    OptionSpec{"this-server", "", "follow links anywhere on the starting server"},
    OptionSpec{"other-servers", "", "also download from other servers"},
    OptionSpec{"remote-path", "", "on other servers: limit by server name and path"},
    OptionSpec{"remote-server", "", "on other servers: limit by server name only"},
    OptionSpec{"images", "", "load images from the starting server"},
    OptionSpec{"remote-images", "", "load images from other servers"},
    OptionSpec{"embed", "", "load embedded objects and inline frames"},
    OptionSpec{"styles", "", "load style sheets"},
    OptionSpec{"scripts", "", "load scripts and resolve links made by scripts"},
    OptionSpec{"offline", "", "rewrite saved pages for offline browsing"},
    OptionSpec{"replicate", "", "replicate the site's folders under the project folder"},
    OptionSpec{"link-to-url", "", "point links that were not downloaded to their URL"},
    OptionSpec{"no-htm-ext", "", "do not add .htm to HTML files saved without it"},
    OptionSpec{"koi8", "", "decode KOI8-R pages"},
    OptionSpec{"record-warc", "",
               "record every run in a web archive (PROJECT-DATE.warc.gz in the project folder)"},
    OptionSpec{"retrieve-files", "LIST", "retrieve only file names matching these patterns", true},
    OptionSpec{"ignore-files", "LIST", "ignore file names matching these patterns", true},
    OptionSpec{"retrieve-links", "LIST", "retrieve only links whose text matches", true},
    OptionSpec{"ignore-links", "LIST", "ignore links whose text matches", true},
    OptionSpec{"remote-retrieve-files", "LIST", "the same, on other servers", true},
    OptionSpec{"remote-ignore-files", "LIST", "the same, on other servers", true},
    OptionSpec{"remote-retrieve-links", "LIST", "the same, on other servers", true},
    OptionSpec{"remote-ignore-links", "LIST", "the same, on other servers", true},
};

// What `mirror` turns on by default, each with the option that turns it off.
constexpr std::array kMirrorOptions = {
    OptionSpec{"no-images", "", "do not load images"},
    OptionSpec{"no-styles", "", "do not load style sheets"},
    OptionSpec{"no-objects", "", "do not load embedded objects, inline frames and media"},
    OptionSpec{"no-offline", "", "leave saved pages as the server sent them"},
    OptionSpec{"no-link-to-url", "", "leave links to what was not downloaded as written"},
    OptionSpec{"no-replicate", "", "save every file in the project folder itself"},
};

constexpr std::array kRunOptions = {
    OptionSpec{"threads", "N", "number of download workers, 1 to 10"},
    OptionSpec{"folder", "DIR", "download folder"},
    OptionSpec{"proxy", "HOST:PORT", "send requests through this HTTP proxy"},
    OptionSpec{"agent", "TEXT", "user-agent text sent with every request"},
    OptionSpec{"retry", "", "fetch an entry again when it timed out or arrived short"},
    OptionSpec{"timeout", "SECONDS", "give up a request after this long without any event"},
    OptionSpec{"accept-unverified", "", "https: take certificates that cannot be verified"},
    OptionSpec{"ca-file", "FILE", "https: trust the authorities in this PEM file too"},
    OptionSpec{"no-keep-alive", "", "one connection per file, closed after it"},
    OptionSpec{"http1.0", "", "HTTP/1.0 requests without compression, for old servers"},
    OptionSpec{"no-compression", "", "do not ask for compressed replies"},
    OptionSpec{"load-cookies", "FILE", "take the cookies of this cookies.txt file (a login)"},
    OptionSpec{"save-cookies", "FILE", "write the project's cookies to this file at the end"},
    OptionSpec{"ignore-robots", "", "fetch what the sites' robots.txt rules disallow"},
    OptionSpec{"host-connections", "N", "at most N requests to one host at once, 1 to 10"},
    OptionSpec{"wait", "SECONDS", "pause between requests to one host (e.g. 1 or 0.5)"},
    OptionSpec{"random-wait", "", "make each pause 0.5 to 1.5 times the --wait"},
    OptionSpec{"limit-rate", "SIZE", "cap the run's bandwidth (e.g. 200K, 1.5M per second)"},
    OptionSpec{"max-file-size", "SIZE", "stop a file past this size (500K, 20M, 2G; 0: none)"},
    OptionSpec{"max-file-time", "SECONDS", "stop a file that takes longer (0: no limit)"},
    OptionSpec{"max-total", "SIZE", "stop the run after receiving this much (0: none)"},
    OptionSpec{"max-files", "N", "stop the run after fetching this many files (0: none)"},
    OptionSpec{"max-time", "SECONDS", "stop the run after this long (0: no limit)"},
    OptionSpec{"max-parsed-page", "SIZE", "save larger pages without analysing them (32M)"},
    OptionSpec{"max-url-length", "N", "do not queue longer URLs (2048; 0: no limit)"},
    OptionSpec{"max-path-repeats", "N",
               "do not queue a path repeating a segment or run N times (3; 0: off)"},
    OptionSpec{"max-query-variants", "N",
               "queue at most N query strings for one path (1000; 0: no limit)"},
};

constexpr std::array kWarcOptions = {
    OptionSpec{"warc", "FILE", "record this run in the web archive FILE (.warc.gz)"},
    OptionSpec{"warc-max-size", "SIZE", "go on in a new archive file past this size (1G)"},
};

struct SizeOption {
  const char* name;
  int64_t TGlobalOptions::*field;
};

constexpr std::array kSizeOptions = {
    SizeOption{"max-file-size", &TGlobalOptions::MaxFileSize},
    SizeOption{"max-total", &TGlobalOptions::MaxTotal},
    SizeOption{"max-parsed-page", &TGlobalOptions::MaxParsedPage},
};

struct CountOption {
  const char* name;
  int TGlobalOptions::*field;
};

constexpr std::array kCountOptions = {
    CountOption{"max-file-time", &TGlobalOptions::MaxFileTime},
    CountOption{"max-files", &TGlobalOptions::MaxFiles},
    CountOption{"max-time", &TGlobalOptions::MaxTime},
    CountOption{"max-url-length", &TGlobalOptions::MaxUrlLength},
    CountOption{"max-path-repeats", &TGlobalOptions::MaxPathRepeats},
    CountOption{"max-query-variants", &TGlobalOptions::MaxQueryVariants},
};

struct FilterOption {
  const char* name;
  bool TJobRecord::*check;
  std::string TJobRecord::*list;
};

constexpr std::array kFilters = {
    FilterOption{"retrieve-files", &TJobRecord::lclCheckRetriveFile,
                 &TJobRecord::lcleditRetriveFile},
    FilterOption{"ignore-files", &TJobRecord::lclCheckIgnoreFile, &TJobRecord::lcleditIgnoreFile},
    FilterOption{"retrieve-links", &TJobRecord::lclcheckRetrieveLink,
                 &TJobRecord::lcleditRetrieveLink},
    FilterOption{"ignore-links", &TJobRecord::lclcheckIgnoreLink, &TJobRecord::lcleditIgnoreLink},
    FilterOption{"remote-retrieve-files", &TJobRecord::rmtCheckRetriveFile,
                 &TJobRecord::rmteditRetrieveFile},
    FilterOption{"remote-ignore-files", &TJobRecord::rmtCheckIgnoreFile,
                 &TJobRecord::rmteditIgnoreFile},
    FilterOption{"remote-retrieve-links", &TJobRecord::rmtcheckRetrieveLink,
                 &TJobRecord::rmteditRetrieveLink},
    FilterOption{"remote-ignore-links", &TJobRecord::rmtcheckIgnoreLink,
                 &TJobRecord::rmteditIgnoreLink},
};

struct SwitchOption {
  const char* name;
  bool TJobRecord::*field;
  bool value;
};

constexpr std::array kSwitches = {
    SwitchOption{"other-servers", &TJobRecord::checkOtherServers, true},
    SwitchOption{"images", &TJobRecord::checkLoadImg, true},
    SwitchOption{"remote-images", &TJobRecord::checkRmtLoadImg, true},
    SwitchOption{"embed", &TJobRecord::checkLoadEmbed, true},
    SwitchOption{"styles", &TJobRecord::checkLoadStyle, true},
    SwitchOption{"scripts", &TJobRecord::checkLoadScript, true},
    SwitchOption{"offline", &TJobRecord::checkLocalize, true},
    SwitchOption{"replicate", &TJobRecord::checkReplicate, true},
    SwitchOption{"link-to-url", &TJobRecord::checkLinkToUrl, true},
    SwitchOption{"no-htm-ext", &TJobRecord::checkAddHtmExt, false},
    SwitchOption{"record-warc", &TJobRecord::checkRecordWarc, true},
    SwitchOption{"koi8", &TJobRecord::lclcheckKoi8, true},
    SwitchOption{"koi8", &TJobRecord::rmtcheckKoi8, true},
};

struct MirrorSwitch {
  const char* off;
  const char* on;
  bool TJobRecord::*field;
};

constexpr std::array kMirrorSwitches = {
    MirrorSwitch{"no-images", "images", &TJobRecord::checkLoadImg},
    MirrorSwitch{"no-styles", "styles", &TJobRecord::checkLoadStyle},
    MirrorSwitch{"no-objects", "embed", &TJobRecord::checkLoadEmbed},
    MirrorSwitch{"no-offline", "offline", &TJobRecord::checkLocalize},
    MirrorSwitch{"no-link-to-url", "link-to-url", &TJobRecord::checkLinkToUrl},
    MirrorSwitch{"no-replicate", "replicate", &TJobRecord::checkReplicate},
};

}  // namespace

std::span<const OptionSpec> JobOptionSpecs() {
  return kJobOptions;
}
std::span<const OptionSpec> RunOptionSpecs() {
  return kRunOptions;
}
std::span<const OptionSpec> MirrorOptionSpecs() {
  return kMirrorOptions;
}
std::span<const OptionSpec> WarcOptionSpecs() {
  return kWarcOptions;
}

TJobRecord MirrorJobDefaults() {
  TJobRecord job;
  job.editDepth = kMaxJobDepth;
  for (const MirrorSwitch& option : kMirrorSwitches) job.*option.field = true;
  return job;
}

std::string ApplyMirrorOptions(const ParsedArguments& args, TJobRecord& job) {
  for (const MirrorSwitch& option : kMirrorSwitches) {
    if (!args.Has(option.off)) continue;
    if (args.Has(option.on)) {
      return "--" + std::string(option.on) + " and --" + option.off + " exclude each other";
    }
    job.*option.field = false;
  }
  return {};
}

std::string ApplyJobOptions(const ParsedArguments& args, TJobRecord& job) {
  for (const char* name : {"depth", "remote-depth"}) {
    if (std::optional<std::string> text = args.Value(name)) {
      std::optional<int> depth = ParseBoundedInt(*text, kMinJobDepth, kMaxJobDepth);
      if (!depth)
        return "--" + std::string(name) + " needs a whole number from 0, not \"" + *text + "\"";
      (std::string_view(name) == "depth" ? job.editDepth : job.EditRmtDepth) = *depth;
    }
  }
  if (args.Has("this-path") && args.Has("this-server")) {
    return "--this-path and --this-server exclude each other";
  }
  if (args.Has("remote-path") && args.Has("remote-server")) {
    return "--remote-path and --remote-server exclude each other";
  }
  if (args.Has("this-path") || args.Has("this-server")) {
    job.radioThisPath = args.Has("this-path");
    job.radioThisServer = args.Has("this-server");
  }
  if (args.Has("remote-path") || args.Has("remote-server")) {
    job.radioRmtThisPath = args.Has("remote-path");
    job.radioRmtThisServer = args.Has("remote-server");
  }
  for (const SwitchOption& option : kSwitches) {
    if (args.Has(option.name)) job.*option.field = option.value;
  }
  for (const FilterOption& filter : kFilters) {
    if (std::optional<std::string> list = args.Value(filter.name)) {
      if (list->find('`') != std::string::npos) {
        return "--" + std::string(filter.name) + " may not contain the character \"`\"";
      }
      job.*filter.list = *list;
      job.*filter.check = true;
    }
  }
  return {};
}

std::string JobOptionsText(const TJobRecord& job) {
  const TJobRecord defaults;
  std::string text;
  auto add = [&text](const std::string& word) { text += (text.empty() ? "" : " ") + word; };
  if (job.editDepth != defaults.editDepth) add("--depth " + std::to_string(job.editDepth));
  if (job.EditRmtDepth != defaults.EditRmtDepth) {
    add("--remote-depth " + std::to_string(job.EditRmtDepth));
  }
  if (job.radioThisServer) add("--this-server");
  if (job.radioRmtThisPath) add("--remote-path");
  if (job.radioRmtThisServer) add("--remote-server");
  for (const SwitchOption& option : kSwitches) {
    if (std::string_view(option.name) == "koi8") continue;
    if (job.*option.field == option.value) add("--" + std::string(option.name));
  }
  // --koi8 sets both; a job made elsewhere may decode on one side only.
  if (job.lclcheckKoi8 && job.rmtcheckKoi8) {
    add("--koi8");
  } else if (job.lclcheckKoi8 || job.rmtcheckKoi8) {
    add(job.lclcheckKoi8 ? "--koi8 (starting server only)" : "--koi8 (other servers only)");
  }
  for (const FilterOption& filter : kFilters) {
    if (job.*filter.check) add("--" + std::string(filter.name) + " \"" + job.*filter.list + "\"");
  }
  return text;
}

std::string ApplyRunOptions(const ParsedArguments& args, TGlobalOptions& options) {
  if (std::optional<std::string> text = args.Value("threads")) {
    std::optional<int> threads = ParseBoundedInt(*text, 1, 10);
    if (!threads) return "--threads needs a number from 1 to 10, not \"" + *text + "\"";
    options.ThreadCount = *threads;
  }
  if (std::optional<std::string> text = args.Value("timeout")) {
    std::optional<int> seconds = ParseBoundedInt(*text, 1, 86400);
    if (!seconds)
      return "--timeout needs a number of seconds from 1 to 86400, not \"" + *text + "\"";
    options.TimeOut = *seconds;
  }
  if (std::optional<std::string> folder = args.Value("folder")) {
    if (folder->empty()) return "--folder needs a folder name";
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(*folder, ec);
    if (ec) return "cannot use \"" + *folder + "\" as download folder: " + ec.message();
    options.DownLoadFolder = AddBackslash(absolute.lexically_normal().string());
  }
  if (std::optional<std::string> proxy = args.Value("proxy")) {
    TUrlParts parts = SplitUrl(*proxy);
    if (parts.Host.empty()) return "--proxy needs HOST:PORT, not \"" + *proxy + "\"";
    options.ProxyFlag = true;
    options.DirectFlag = false;
    options.ProxyHost = parts.Host;
    options.ProxyPort = parts.Port.empty() ? std::string("8080") : parts.Port;
    if (!parts.User.empty()) {
      options.ProxyUser = parts.User;
      options.ProxyPswd = parts.Pass;
    }
  }
  if (std::optional<std::string> agent = args.Value("agent")) {
    options.Agent = 4;
    options.AnyBrowser = *agent;
  }
  if (args.Has("retry")) options.RetryFlag = true;
  if (args.Has("accept-unverified")) options.TlsAcceptUnverified = true;
  if (args.Has("no-keep-alive")) options.KeepAlive = false;
  if (std::optional<std::string> file = args.Value("ca-file")) options.TlsCaFile = *file;
  for (const SizeOption& option : kSizeOptions) {
    if (std::optional<std::string> text = args.Value(option.name)) {
      std::optional<int64_t> size = ParseByteSize(*text);
      if (!size) {
        return "--" + std::string(option.name) + " needs a size such as 500K, 20M or 2G, not \"" +
               *text + "\"";
      }
      options.*option.field = *size;
    }
  }
  for (const CountOption& option : kCountOptions) {
    if (std::optional<std::string> text = args.Value(option.name)) {
      std::optional<int> count = ParseBoundedInt(*text, 0, INT32_MAX);
      if (!count) {
        return "--" + std::string(option.name) + " needs a whole number from 0, not \"" + *text +
               "\"";
      }
      options.*option.field = *count;
    }
  }
  return ApplyMannerOptions(args, options);
}

std::string ApplyWarcOptions(const ParsedArguments& args, TWarcRunRequest& request) {
  if (std::optional<std::string> file = args.Value("warc")) {
    if (file->empty()) return "--warc needs a file name";
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(*file, ec);
    request.Path = ec ? *file : absolute.lexically_normal().string();
    request.Record = true;
  }
  if (std::optional<std::string> text = args.Value("warc-max-size")) {
    const std::optional<int64_t> size = ParseByteSize(*text);
    if (!size || *size < 1) {
      return "--warc-max-size needs a size such as 100M or 2G, not \"" + *text + "\"";
    }
    request.MaxFileSize = static_cast<std::uint64_t>(*size);
  }
  return {};
}

std::string ApplyMannerOptions(const ParsedArguments& args, TGlobalOptions& options) {
  if (args.Has("http1.0")) options.UseHttp10 = true;
  if (args.Has("no-compression")) options.Compression = false;
  if (args.Has("ignore-robots")) options.FollowRobots = false;
  if (args.Has("random-wait")) options.RandomWait = true;
  for (const char* name : {"load-cookies", "save-cookies"}) {
    std::optional<std::string> file = args.Value(name);
    if (!file) continue;
    if (file->empty()) return "--" + std::string(name) + " needs a file name";
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(*file, ec).string();
    (std::string_view(name) == "load-cookies" ? options.CookieImport : options.CookieExport) =
        ec ? *file : absolute;
  }
  if (std::optional<std::string> text = args.Value("host-connections")) {
    std::optional<int> count = ParseBoundedInt(*text, 1, 10);
    if (!count) return "--host-connections needs a number from 1 to 10, not \"" + *text + "\"";
    options.PerHostConnections = *count;
  }
  if (std::optional<std::string> text = args.Value("wait")) {
    double seconds = -1;
    const char* end = text->data() + text->size();
    const auto [ptr, ec] = std::from_chars(text->data(), end, seconds);
    if (text->empty() || ec != std::errc() || ptr != end || !(seconds >= 0) || seconds > 3600) {
      return "--wait needs a number of seconds from 0 to 3600, not \"" + *text + "\"";
    }
    options.WaitMs = static_cast<int>(seconds * 1000 + 0.5);
  }
  if (std::optional<std::string> text = args.Value("limit-rate")) {
    const std::optional<int64_t> rate = ParseByteSize(*text);
    if (!rate || *rate < 1) return "--limit-rate needs a size such as 200K, not \"" + *text + "\"";
    options.LimitRate = *rate;
  }
  return {};
}

}  // namespace kestrix
