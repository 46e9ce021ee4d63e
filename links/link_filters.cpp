#include "links/link_filters.h"

#include <vector>

#include "core/ascii.h"
#include "core/retrive_rec.h"
#include "links/file_mask.h"
#include "links/html_items.h"
#include "links/text_util.h"
#include "links/url_paths.h"

namespace kestrix {

namespace {

// Entries of a list; single entries are not trimmed, and a final ";" does
// not make an empty last entry.
std::vector<std::string_view> Entries(std::string_view list) {
  std::vector<std::string_view> entries;
  while (!list.empty()) {
    const size_t semi = list.find(';');
    entries.push_back(list.substr(0, semi));
    if (semi == std::string_view::npos) break;
    list.remove_prefix(semi + 1);
  }
  return entries;
}

struct TListRef {
  bool enabled;
  const std::string& list;
};

}  // namespace

bool MatchPatternList(std::string_view text, std::string_view list, TMatchMode mode,
                      std::string& storedMask, std::string& filterMessage) {
  if (list.empty()) return false;
  const std::string prepared = AsciiLower(TrimControls(list));
  if (mode == TMatchMode::Retrieve) storedMask.clear();
  for (std::string_view entry : Entries(prepared)) {
    const size_t bar = entry.find('|');
    const std::string_view pattern = entry.substr(0, bar);
    if (mode == TMatchMode::Retrieve) {
      storedMask =
          bar == std::string_view::npos ? std::string() : std::string(entry.substr(bar + 1));
    }
    const bool matched = MatchesMask(text, pattern);
    // Retrieve mode lists the patterns that failed, ignore mode the one that hit.
    if (matched == (mode == TMatchMode::Ignore)) {
      filterMessage += " \"" + std::string(pattern) + "\"";
    }
    if (matched) return true;
  }
  return false;
}

TFilterOutcome CheckFilters(std::string_view url, std::string_view linkedText, int32_t kind,
                            const TRetriveRec& candidate, std::string_view defaultDoc) {
  return CheckFilters(ParseUrl(url), linkedText, kind, candidate, defaultDoc);
}

TFilterOutcome CheckFilters(const TParsedUrl& url, std::string_view linkedText, int32_t kind,
                            const TRetriveRec& candidate, std::string_view defaultDoc) {
  TFilterOutcome out;
  if (kind == kKindFrame) return out;
  const TJobRecord& job = candidate.Job.Settings();
  const bool remote = candidate.RemoteFlag != 0;
  const TListRef retrieveFile{remote ? job.rmtCheckRetriveFile : job.lclCheckRetriveFile,
                              remote ? job.rmteditRetrieveFile : job.lcleditRetriveFile};
  const TListRef ignoreFile{remote ? job.rmtCheckIgnoreFile : job.lclCheckIgnoreFile,
                            remote ? job.rmteditIgnoreFile : job.lcleditIgnoreFile};
  const TListRef retrieveLink{remote ? job.rmtcheckRetrieveLink : job.lclcheckRetrieveLink,
                              remote ? job.rmteditRetrieveLink : job.lcleditRetrieveLink};
  const TListRef ignoreLink{remote ? job.rmtcheckIgnoreLink : job.lclcheckIgnoreLink,
                            remote ? job.rmteditIgnoreLink : job.lcleditIgnoreLink};

  const auto active = [](const TListRef& ref) { return ref.enabled && !ref.list.empty(); };
  const auto match = [&](std::string_view text, const TListRef& ref, TMatchMode mode,
                         bool otherwise) {
    if (!active(ref)) return otherwise;
    return MatchPatternList(text, ref.list, mode, out.StoredMask, out.FilterMessage);
  };
  // Most jobs have no list on; the name and the lower-cased text of every
  // link of every page would then be made for nothing.
  bool keepFile = true, dropFile = false, keepLink = true, dropLink = false;
  if (active(retrieveFile) || active(ignoreFile)) {
    // "amp;" holds none of the characters that bound a file name, so the
    // name of the cleaned URL is the cleaned name.
    std::string fileName = RemoveAmp(url.FileName());
    if (fileName.empty()) fileName = std::string(defaultDoc);
    keepFile = match(fileName, retrieveFile, TMatchMode::Retrieve, true);
    dropFile = match(fileName, ignoreFile, TMatchMode::Ignore, false);
  }
  if (active(retrieveLink) || active(ignoreLink)) {
    const std::string text = AsciiLower(linkedText);
    keepLink = match(text, retrieveLink, TMatchMode::Retrieve, true);
    dropLink = match(text, ignoreLink, TMatchMode::Ignore, false);
  }
  out.Passed = keepFile && !dropFile && keepLink && !dropLink;
  return out;
}

std::optional<std::string> CheckJobPatterns(const TJobRecord& job) {
  const TListRef lists[] = {
      {job.lclCheckRetriveFile, job.lcleditRetriveFile},
      {job.lclCheckIgnoreFile, job.lcleditIgnoreFile},
      {job.lclcheckRetrieveLink, job.lcleditRetrieveLink},
      {job.lclcheckIgnoreLink, job.lcleditIgnoreLink},
      {job.rmtCheckRetriveFile, job.rmteditRetrieveFile},
      {job.rmtCheckIgnoreFile, job.rmteditIgnoreFile},
      {job.rmtcheckRetrieveLink, job.rmteditRetrieveLink},
      {job.rmtcheckIgnoreLink, job.rmteditIgnoreLink},
  };
  for (const TListRef& ref : lists) {
    if (!ref.enabled) continue;
    const std::string prepared = AsciiLower(TrimControls(ref.list));
    for (std::string_view entry : Entries(prepared)) {
      if (auto error = MaskError(entry.substr(0, entry.find('|')))) return error;
    }
  }
  return std::nullopt;
}

}  // namespace kestrix
