#include "warc/capture_lookup.h"

#include <dirent.h>

#include <fstream>

#include "warc/warc_reader.h"

namespace kestrix {

namespace {

// The value of the string member `name` of an index line's JSON, as this
// library and the usual indexers write it ("name":"value", or with a
// blank after the colon); escapes other than \" and \\ are left as they are,
// which URLs in an index never need.
std::optional<std::string> JsonString(std::string_view json, std::string_view name) {
  const std::string key = "\"" + std::string(name) + "\":";
  std::size_t at = json.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  at += key.size();
  while (at < json.size() && json[at] == ' ') ++at;
  if (at >= json.size() || json[at] != '"') return std::nullopt;
  std::string value;
  for (++at; at < json.size() && json[at] != '"'; ++at) {
    if (json[at] == '\\' && at + 1 < json.size()) ++at;
    value += json[at];
  }
  return value;
}

}  // namespace

void TCaptureLookup::Load(const std::string& folder) {
  std::vector<std::string> indexes;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.ends_with(".cdxj")) indexes.push_back(name);
    }
    closedir(dir);
  }
  const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
  for (const std::string& index : indexes) {
    std::ifstream in(prefix + index);
    for (std::string line; std::getline(in, line);) {
      const std::size_t json = line.find('{');
      const std::size_t blank = line.find(' ');
      if (json == std::string::npos || blank == std::string::npos) continue;
      const std::string_view fields = std::string_view(line).substr(json);
      const auto url = JsonString(fields, "url");
      const auto filename = JsonString(fields, "filename");
      const auto offset = JsonString(fields, "offset");
      if (JsonString(fields, "status") != "200" || !url || !filename || !offset ||
          offset->empty() || offset->find_first_not_of("0123456789") != std::string::npos ||
          filename->find('/') != std::string::npos) {
        continue;
      }
      if (files_.empty() || files_.back() != prefix + *filename)
        files_.push_back(prefix + *filename);
      TPlace place{line.substr(blank + 1, 14), files_.size() - 1, std::stoull(*offset)};
      auto [found, added] = latest_.try_emplace(*url, place);
      if (!added && found->second.timestamp <= place.timestamp) found->second = std::move(place);
    }
  }
}

std::optional<TEarlierCapture> TCaptureLookup::Find(std::string_view url) const {
  const auto found = latest_.find(std::string(url));
  if (found == latest_.end()) return std::nullopt;
  // The index does not hold the record's identifier; its header does.
  TWarcReader reader(files_[found->second.file], found->second.offset);
  const auto record = reader.Next();
  if (!record || record->targetUri != url) return std::nullopt;
  return TEarlierCapture{record->recordId, record->targetUri, record->date, record->payloadDigest};
}

}  // namespace kestrix
