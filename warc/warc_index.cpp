#include "warc/warc_index.h"

#include <cstring>

#include "core/ascii.h"
#include "warc/warc_fields.h"

namespace kestrix {

std::optional<TCdxjEntry> IndexEntryFor(const TWarcRecordInfo& record,
                                        const std::string& filename) {
  const std::string& type = record.type;
  if (type != "response" && type != "revisit" && type != "resource" && type != "metadata") {
    return std::nullopt;
  }
  if ((type == "resource" || type == "metadata") &&
      StartsNoCase(record.contentType, "application/warc-fields")) {
    return std::nullopt;
  }
  TCdxjEntry entry;
  entry.url = record.targetUri;
  entry.timestamp = CdxTimestamp(record.date);
  if (type == "revisit") {
    entry.mime = "warc/revisit";
  } else if (type == "response") {
    entry.mime = record.httpMime;
  } else {
    entry.mime = record.contentType;
  }
  if (type == "response" || type == "revisit") entry.status = record.httpStatus;
  const std::size_t colon = record.payloadDigest.find(':');
  if (colon != std::string::npos) entry.digest = record.payloadDigest.substr(colon + 1);
  entry.offset = record.offset;
  entry.length = record.length;
  entry.filename = filename;
  return entry;
}

namespace {
std::string Stem(const std::string& warcPath) {
  for (const char* suffix : {".warc.gz", ".warc"}) {
    if (warcPath.ends_with(suffix)) return warcPath.substr(0, warcPath.size() - strlen(suffix));
  }
  return warcPath;
}
}  // namespace

std::string IndexPathFor(const std::string& warcPath) {
  return Stem(warcPath) + ".cdxj";
}
std::string IndexPartPathFor(const std::string& warcPath) {
  return Stem(warcPath) + ".cdxj.part";
}

}  // namespace kestrix
