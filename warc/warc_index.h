// Which records of an archive are captures a replay tool looks up, and the
// index line each one gets. The writer and the repair of an unfinished file
// both go through here, so that their indexes agree.
#pragma once

#include <optional>
#include <string>

#include "warc/cdxj.h"
#include "warc/warc_reader.h"

namespace kestrix {

// The index entry of a capture record (response, revisit, resource,
// metadata other than plain fields); none for requests and warcinfo.
std::optional<TCdxjEntry> IndexEntryFor(const TWarcRecordInfo& record, const std::string& filename);

// "X.cdxj" for "X.warc.gz" (or "X.warc"), and the unsorted "X.cdxj.part"
// that a file being written keeps until it is closed.
std::string IndexPathFor(const std::string& warcPath);
std::string IndexPartPathFor(const std::string& warcPath);

}  // namespace kestrix
