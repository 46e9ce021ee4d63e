#include "exploration/explorer_fetcher.h"

#include <exception>
#include <stdexcept>

#include "core/ascii.h"
#include "core/file_util.h"
#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "engine/fetch_limits.h"
#include "engine/page_type.h"
#include "engine/queue_texts.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

// A cookie's value may be a session or a login: the log shows its name only.
std::string LoggedHeaderLine(const std::string& line) {
  if (!StartsNoCase(line, "set-cookie:")) return line;
  const size_t nameEnd = line.find_first_of("=;", 11);
  return line.substr(0, nameEnd == std::string::npos ? line.size() : nameEnd) + "=(hidden)";
}

}  // namespace

TExplorerFetcher::TExplorerFetcher(const TGlobalOptions& options) : options_(options) {}

TExplorerFetcher::~TExplorerFetcher() {
  Detach();
}

void TExplorerFetcher::Detach() {
  OnStatus = nullptr;
  OnLog = nullptr;
  OnHtmlPiece = nullptr;
  OnFinished = nullptr;
  if (RequestRunning() && State() != httpReady && State() != httpAborting) {
    try {
      Abort();
    } catch (const std::exception&) {
      // Going away regardless.
    }
  }
  TFetchCore::Detach();
}

void TExplorerFetcher::Status(const std::string& text) {
  if (OnStatus) OnStatus(text);
}

bool TExplorerFetcher::Fetch(TRetriveRec& entry) {
  if (RequestRunning()) return false;
  entry_ = &entry;
  PrepareRequest(entry, options_);
  entry.IsHtml = 0;
  entry.ErrorCode = 0;
  undecodable_ = false;
  outcome_.clear();
  Status(entry.RequestMethod == kMethodPost ? "Posting ..." : "Connect : " + entry.Job.editUrl);
  if (std::optional<std::string> failure = StartRequest(entry)) {
    outcome_ = std::move(*failure);
    entry.ErrorCode = kErrUndecodableBody;
    Status(outcome_);
    if (OnLog) OnLog(entry.Job.editUrl + ": " + outcome_);
    return false;
  }
  return true;
}

void TExplorerFetcher::Stop() {
  if (RequestRunning() && State() != httpReady && State() != httpAborting) Abort();
}

void TExplorerFetcher::Relocated() {
  TRetriveRec& entry = *entry_;
  entry.Job.editUrl = FollowRelocation();
  if (OnLog) OnLog("Relocating to: " + entry.Job.editUrl);
}

void TExplorerFetcher::HeaderEnded() {
  entry_->IsHtml = IsHtmlType(ContentType());
  if (OnLog) {
    for (const std::string& line : ReceivedHeader()) OnLog(LoggedHeaderLine(line));
    OnLog("");
    OnLog("****************");
    OnLog("");
  }
}

void TExplorerFetcher::BodyBegins() {
  TRetriveRec& entry = *entry_;
  CloseBody();
  entry.ReceivedSize = 0;
  try {
    if (!DirectoryExists(entry.LocalFolder) && !ForceDirectories(entry.LocalFolder)) {
      throw std::runtime_error("Can't create folder " + entry.LocalFolder);
    }
    OpenBody(entry, entry.LocalFolder + entry.LocalFileName, false);
  } catch (const std::exception& failure) {
    undecodable_ = true;
    outcome_ = failure.what();
    CloseBody();
  }
}

void TExplorerFetcher::BodyData(const char* data, int length) {
  const TRetriveRec& entry = *entry_;
  if (entry.IsHtml && OnHtmlPiece && length > 0) {
    OnHtmlPiece(std::string(data, static_cast<size_t>(length)));
  }
  Status(
      ProgressText({0, entry.ContentSize, DecodedCount(), BodyReframed() ? -1 : ContentLength()}) +
      " byte");
}

void TExplorerFetcher::RequestDone(int code) {
  TRetriveRec& entry = *entry_;
  if (BodyOpen()) entry.ReceivedSize = DecodedCount();
  CloseBody();
  if (code == 0 && undecodable_) code = kErrUndecodableBody;
  // Once the body arrived whole its size is known, even when the reply
  // gave none: a later "next level" may then show it from the cache.
  if (code == 0 && entry.ContentSize < 0) entry.ContentSize = entry.ReceivedSize;
  entry.ErrorCode = code;
  if (outcome_.empty()) {
    outcome_ = ReasonPhrase();
    if (code == WSAETIMEDOUT || code == kErrShortBody || code == WSAECONNRESET) {
      outcome_ = WSocketErrorText(code);
    }
    if (code == kRelocationLoopError) {
      outcome_ = "Too many relocations (more than " + std::to_string(kMaxRelocations) + ")";
    }
  }
  if (outcome_.empty() && code != 0) outcome_ = WSocketErrorText(code);
  Status(std::to_string(entry.ReceivedSize) + "  " + outcome_);
  if (OnLog) OnLog(entry.Job.editUrl + ": " + outcome_);
  if (OnFinished) OnFinished();
}

}  // namespace kestrix
