// The part of fetching one entry that the download worker and the
// exploration test's fetcher share: it applies the global options and starts
// the entry's request, gives up on a connection that stays silent and on
// relocations without end, opens the entry's file for the body (the client
// has taken off its framing and compression), and says, once the request is
// done, how it ended and what became of the body. What a fetch does beyond
// that (a date condition, a resumed part, the queue, status lines) is its
// subclass's.
#pragma once

#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/body_sink.h"
#include "engine/engine_observer.h"
#include "http/http_client.h"
#include "http/streams.h"

namespace kestrix {

class TCookieJar;
struct TGlobalOptions;
struct TRetriveRec;
class UsedNames;

class TFetchCore : public THttpCli {
 public:
  ~TFetchCore() override;
  TFetchCore(const TFetchCore&) = delete;
  TFetchCore& operator=(const TFetchCore&) = delete;

  // Drops every handler, so that nothing is reported afterwards, and
  // closes the body's file. A request under way is left to its owner.
  void Detach();
  bool RequestRunning() const { return requestRunning_; }
  // The jar whose cookies the requests carry and which keeps the cookies
  // replies set (relocations included); null: no cookies at all.
  void UseCookies(TCookieJar* jar) { cookies_ = jar; }

 protected:
  TFetchCore();

  // The client's events, each after it counted as a sign of life.
  virtual void Relocated() {}
  virtual void HeaderEnded() {}
  virtual void BodyBegins() {}
  virtual void BodyData(const char* /*data*/, int /*length*/) {}
  // The request is over: `code` is 0, WSAETIMEDOUT, kRelocationLoopError,
  // kRelocationHeld (HoldRelocation),
  // WSAECONNABORTED (stopped), the client's own (kErrShortBody,
  // kErrUndecodableBody, kErrUnframedReply), the socket's error, or for a
  // body that was not kept kErrFileTooLarge, kErrFileTooSlow,
  // kErrCannotWrite or kErrDiskFull (BodyFailure() says why).
  virtual void RequestDone(int code) = 0;

  // Sets the request up for `entry` with the global options (kept for the
  // time-out): its URL, no date condition, no ETag and no byte range. The
  // subclass may add those before StartRequest.
  void PrepareRequest(const TRetriveRec& entry, const TGlobalOptions& options);
  // Starts the request prepared; no completion comes when it could not be
  // started, and the reason is returned.
  std::optional<std::string> StartRequest(const TRetriveRec& entry);
  // Postpones the time-out: the connection showed a sign of life.
  void NoteActivity();
  // The target of the relocation the client is following, with its port;
  // the request is stopped when the relocations run on too long.
  std::string FollowRelocation();
  // Stops the request instead of following the relocation just taken: it
  // ends with kRelocationHeld, and its owner decides when to ask again.
  void HoldRelocation() { AbortLater(TAbortCause::HeldRelocation); }

  // Names the entry's file by what the reply's header says the body is (the
  // name given at queue time was a guess from the URL), before the body is
  // opened: "Add .htm extension" of the job decides, `used` keeps the new
  // name unique. A resumed part keeps the name its bytes lie under. The path
  // the file had when the name changed, else nothing.
  std::optional<std::string> NameByContent(TRetriveRec& entry, UsedNames& used, bool resumed);
  // Opens `path` for the reply's body: appended to when `append`, else
  // created anew, which makes the entry's sizes those of this reply.
  // Throws EFileError when the file cannot be opened. A body announced
  // larger than the size limit is not opened, and the request is stopped.
  void OpenBody(TRetriveRec& entry, const std::string& path, bool append);
  // Ends the request because its body cannot be kept: `failure` names the
  // path and the system's reason.
  void BodyNotKept(TBodyStop stop, const std::string& failure);
  // Why the body was not kept, once the request is done: the code it ends
  // with (0 when it was kept) and the path and reason of a write failure.
  int BodyFailureCode() const;
  const std::string& BodyFailure() const { return bodyFailure_; }
  // The limit that stopped the request: bytes or seconds; 0 for none.
  int64_t LimitHit() const;
  bool BodyOpen() const { return file_ != nullptr; }
  // Whether the reply came compressed or in chunks: its length then says
  // nothing of the document's size, known only once it arrived whole.
  bool BodyReframed() const;
  void CloseBody();

 private:
  // Why the request was stopped by the core itself.
  enum class TAbortCause : uint8_t {
    None,
    TimedOut,
    RelocationLoop,
    HeldRelocation,
    Body,
    FileTime
  };
  void TimedOut();
  // Stops the request from the event loop: the client is inside one of its
  // events now, and must finish it first.
  void AbortLater(TAbortCause cause);
  // Takes a stop of the sink into the request's outcome.
  void NoteBodyStop();
  void SendCookiesFor(const std::string& url);

  const TGlobalOptions* options_ = nullptr;
  TCookieJar* cookies_ = nullptr;
  std::unique_ptr<TFileOutStream> file_;
  std::unique_ptr<TBodySink> sink_;  // in front of file_: the size limit, write failures
  std::unique_ptr<TMemoryInStream> post_;
  QTimer idleTimer_;
  QTimer fileTimer_;  // the time limit of one file
  int relocations_ = 0;
  TAbortCause abortCause_ = TAbortCause::None;
  TBodyStop bodyStop_ = TBodyStop::None;
  std::string bodyFailure_;
  int64_t sizeLimit_ = 0;  // the size limit of the request's file; 0 for none
  int timeLimit_ = 0;      // the time limit in seconds; 0 for none
  bool requestRunning_ = false;
  int requestSerial_ = 0;  // tells a late posted abort from the request it was meant for
};

}  // namespace kestrix
