// The job's pattern filters on file names and linked texts. Lists hold
// entries separated by ";"; an entry is a pattern, optionally followed by "|"
// and a stored file mask that local naming wraps the file name in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/job_record.h"
#include "core/parsed_url.h"

namespace kestrix {

struct TRetriveRec;

enum class TMatchMode { Retrieve, Ignore };

// Whether an entry of `list` matches `text`. In retrieve mode `storedMask`
// ends as the mask of the last entry examined and every entry that failed is
// appended to `filterMessage` as ` "pattern"`; in ignore mode the matching
// entry is appended. Throws TMaskError for an invalid pattern met on the way.
bool MatchPatternList(std::string_view text, std::string_view list, TMatchMode mode,
                      std::string& storedMask, std::string& filterMessage);

struct TFilterOutcome {
  bool Passed = true;
  std::string StoredMask;
  std::string FilterMessage;
};

// Applies the candidate's filters (the local ones on the starting server, the
// remote ones elsewhere) to the file name of `url` and to `linkedText`. A
// FRAME always passes. Throws TMaskError for an invalid pattern.
TFilterOutcome CheckFilters(std::string_view url, std::string_view linkedText, int32_t kind,
                            const TRetriveRec& candidate, std::string_view defaultDoc);
TFilterOutcome CheckFilters(const TParsedUrl& url, std::string_view linkedText, int32_t kind,
                            const TRetriveRec& candidate, std::string_view defaultDoc);

// The error text of the first invalid pattern among the job's enabled lists,
// or nullopt. Front ends run it when a job is stored or started, so that a
// download never meets a bad pattern halfway.
std::optional<std::string> CheckJobPatterns(const TJobRecord& job);

}  // namespace kestrix
