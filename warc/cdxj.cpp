#include "warc/cdxj.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <queue>
#include <vector>

#include "core/ascii.h"

namespace kestrix {

namespace {

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x80) {
      // Index values are ASCII once URLs are escaped; anything else is
      // taken as Latin-1 so that the line stays valid JSON.
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  out += '"';
}

void AppendField(std::string& out, std::string_view name, std::string_view value) {
  if (out.size() > 1) out += ',';
  AppendJsonString(out, name);
  out += ':';
  AppendJsonString(out, value);
}

}  // namespace

std::string SurtKey(std::string_view url) {
  std::string text = AsciiLower(url);
  std::string_view rest = text;
  std::string_view defaultPort;
  if (rest.substr(0, 7) == "http://") {
    defaultPort = "80";
    rest.remove_prefix(7);
  } else if (rest.substr(0, 8) == "https://") {
    defaultPort = "443";
    rest.remove_prefix(8);
  } else {
    return std::string(url);
  }
  rest = rest.substr(0, rest.find('#'));
  const std::size_t pathAt = rest.find_first_of("/?");
  std::string_view authority = rest.substr(0, pathAt);
  std::string_view path = pathAt == std::string_view::npos ? "" : rest.substr(pathAt);
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority;
  std::string_view port;
  if (const std::size_t colon = authority.rfind(':');
      colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  if (port == defaultPort) port = {};
  // "www.", "www2." and the like name the same site.
  if (host.substr(0, 3) == "www") {
    std::size_t i = 3;
    while (i < host.size() && host[i] >= '0' && host[i] <= '9') ++i;
    if (i < host.size() && host[i] == '.') host.remove_prefix(i + 1);
  }
  std::string key;
  while (!host.empty()) {
    const std::size_t dot = host.rfind('.');
    if (!key.empty()) key += ',';
    key += host.substr(dot == std::string_view::npos ? 0 : dot + 1);
    host = dot == std::string_view::npos ? std::string_view() : host.substr(0, dot);
  }
  if (!port.empty()) key += ":" + std::string(port);
  key += ')';
  const std::size_t queryAt = path.find('?');
  const std::string_view pathPart = path.substr(0, queryAt);
  key += pathPart.empty() ? "/" : std::string(pathPart);
  if (queryAt != std::string_view::npos && queryAt + 1 < path.size()) {
    std::vector<std::string_view> args;
    std::string_view query = path.substr(queryAt + 1);
    for (;;) {
      const std::size_t amp = query.find('&');
      args.push_back(query.substr(0, amp));
      if (amp == std::string_view::npos) break;
      query.remove_prefix(amp + 1);
    }
    std::sort(args.begin(), args.end());
    key += '?';
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (i > 0) key += '&';
      key += args[i];
    }
  }
  return key;
}

std::string CdxjLine(const TCdxjEntry& entry) {
  std::string json = "{";
  AppendField(json, "url", entry.url);
  if (!entry.mime.empty()) AppendField(json, "mime", entry.mime);
  if (entry.status > 0) AppendField(json, "status", std::to_string(entry.status));
  if (!entry.digest.empty()) AppendField(json, "digest", entry.digest);
  AppendField(json, "length", std::to_string(entry.length));
  AppendField(json, "offset", std::to_string(entry.offset));
  AppendField(json, "filename", entry.filename);
  json += '}';
  return SurtKey(entry.url) + ' ' + entry.timestamp + ' ' + json + '\n';
}

namespace {

bool WriteLines(const std::string& path, const std::vector<std::string>& lines,
                std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const std::string& line : lines) out << line << '\n';
  out.flush();
  if (!out) error = "cannot write " + path;
  return static_cast<bool>(out);
}

// Merges sorted run files into `to`, smallest line first.
bool MergeRuns(const std::vector<std::string>& runs, const std::string& to, std::string& error) {
  std::vector<std::unique_ptr<std::ifstream>> inputs;
  using TItem = std::pair<std::string, std::size_t>;
  std::priority_queue<TItem, std::vector<TItem>, std::greater<>> heads;
  for (const std::string& run : runs) {
    inputs.push_back(std::make_unique<std::ifstream>(run, std::ios::binary));
    std::string line;
    if (std::getline(*inputs.back(), line)) heads.emplace(std::move(line), inputs.size() - 1);
  }
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  while (!heads.empty() && out) {
    auto [line, from] = heads.top();
    heads.pop();
    out << line << '\n';
    if (std::getline(*inputs[from], line)) heads.emplace(std::move(line), from);
  }
  out.flush();
  if (!out) error = "cannot write " + to;
  return static_cast<bool>(out);
}

}  // namespace

bool SortLines(const std::string& from, const std::string& to, std::size_t memoryBudget,
               std::string& error) {
  std::ifstream in(from, std::ios::binary);
  if (!in) {
    error = "cannot read " + from;
    return false;
  }
  std::vector<std::string> runs;
  std::vector<std::string> lines;
  std::size_t held = 0;
  bool ok = true;
  std::string line;
  auto flushRun = [&] {
    std::sort(lines.begin(), lines.end());
    runs.push_back(to + ".run" + std::to_string(runs.size()));
    ok = ok && WriteLines(runs.back(), lines, error);
    lines.clear();
    held = 0;
  };
  while (ok && std::getline(in, line)) {
    if (line.empty()) continue;
    held += line.size() + sizeof(std::string);
    lines.push_back(std::move(line));
    if (held >= memoryBudget) flushRun();
  }
  if (ok && runs.empty()) {
    std::sort(lines.begin(), lines.end());
    ok = WriteLines(to, lines, error);
  } else if (ok) {
    if (!lines.empty()) flushRun();
    ok = ok && MergeRuns(runs, to, error);
  }
  for (const std::string& run : runs) std::remove(run.c_str());
  return ok;
}

}  // namespace kestrix
