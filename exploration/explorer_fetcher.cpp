#include "exploration/explorer_fetcher.h"

#include <exception>
#include <stdexcept>

#include "core/file_util.h"
#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "engine/fetch_limits.h"
#include "engine/queue_texts.h"
#include "engine/reply_header.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

constexpr int kFirstErrorStatus = 400;

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
  entry.Job.editUrl = FollowRelocation(entry.Job.editUrl);
  if (OnLog) OnLog("Relocating to: " + entry.Job.editUrl);
}

void TExplorerFetcher::HeaderEnded() {
  entry_->IsHtml = IsHtmlType(ContentType());
  if (OnLog) {
    for (const std::string& line : ReceivedHeader()) OnLog(line);
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
    const TFetchOutcome failure = OpenBody(entry, entry.LocalFolder + entry.LocalFileName, false);
    if (failure != TFetchOutcome::Reply) {
      undecodable_ = true;
      outcome_ = CodingFailureText(failure, CodingName());
    }
  } catch (const std::exception& failure) {
    undecodable_ = true;
    outcome_ = failure.what();
    CloseBody();
  }
}

void TExplorerFetcher::BodyData(const char* data, int length) {
  const TRetriveRec& entry = *entry_;
  // A coded body is shown once decoded, from the saved file.
  if (entry.IsHtml && !BodyCoded() && OnHtmlPiece && length > 0) {
    OnHtmlPiece(std::string(data, static_cast<size_t>(length)));
  }
  Status(ProgressText({0, entry.ContentSize, ReceivedCount(), ContentLength()}) + " byte");
}

void TExplorerFetcher::RequestDone(int code) {
  TRetriveRec& entry = *entry_;
  bool soundSoFar = true;
  const std::string decoding = FinishDecoding(soundSoFar);
  if (BodyCoded()) {
    entry.ReceivedSize = DecodedSize();
  } else if (BodyOpen()) {
    entry.ReceivedSize = ReceivedCount();
  }
  CloseBody();
  if (code == 0 && (undecodable_ || !decoding.empty())) code = kErrUndecodableBody;
  // Once the body arrived whole its size is known, even when the reply
  // gave none: a later "next level" may then show it from the cache.
  if (code == 0 && entry.ContentSize < 0) entry.ContentSize = entry.ReceivedSize;
  if (code == 0 && StatusCode() < kFirstErrorStatus && ContentLength() >= 1 &&
      entry.ReceivedSize < ContentLength()) {
    code = kErrShortBody;
  }
  entry.ErrorCode = code;
  if (outcome_.empty()) {
    outcome_ = ReasonPhrase();
    if (code == WSAETIMEDOUT || code == kErrShortBody || code == WSAECONNRESET) {
      outcome_ = WSocketErrorText(code);
    }
    if (code == kRelocationLoopError) {
      outcome_ = "Too many relocations (more than " + std::to_string(kMaxRelocations) + ")";
    }
    if (!decoding.empty()) outcome_ = decoding;
  }
  if (outcome_.empty() && code != 0) outcome_ = WSocketErrorText(code);
  Status(std::to_string(entry.ReceivedSize) + "  " + outcome_);
  if (OnLog) OnLog(entry.Job.editUrl + ": " + outcome_);
  if (OnFinished) OnFinished();
}

}  // namespace kestrix
