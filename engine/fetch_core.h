// The part of fetching one entry that the download worker and the
// exploration test's fetcher share: it applies the global options and starts
// the entry's request, gives up on a connection that stays silent and on
// relocations without end, opens the entry's file for the body (the client
// has taken off its framing and compression), and says, once the request is
// done, how it ended. What
// a fetch does beyond that (a date condition, a resumed part, the queue,
// status lines) is its subclass's.
#pragma once

#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/engine_observer.h"
#include "http/http_client.h"
#include "http/streams.h"

namespace kestrix {

class TCookieJar;
struct TGlobalOptions;
struct TRetriveRec;

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
  // WSAECONNABORTED (stopped), the client's own (kErrShortBody,
  // kErrUndecodableBody, kErrUnframedReply) or the socket's error.
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

  // Opens `path` for the reply's body: appended to when `append`, else
  // created anew, which makes the entry's sizes those of this reply.
  // Throws when the file cannot be opened.
  void OpenBody(TRetriveRec& entry, const std::string& path, bool append);
  bool BodyOpen() const { return file_ != nullptr; }
  // Whether the reply came compressed or in chunks: its length then says
  // nothing of the document's size, known only once it arrived whole.
  bool BodyReframed() const;
  void CloseBody();

 private:
  void TimedOut();

  void SendCookiesFor(const std::string& url);

  const TGlobalOptions* options_ = nullptr;
  TCookieJar* cookies_ = nullptr;
  std::unique_ptr<TFileOutStream> file_;
  std::unique_ptr<TMemoryInStream> post_;
  QTimer idleTimer_;
  int relocations_ = 0;
  bool timedOut_ = false;
  bool relocationLoop_ = false;
  bool requestRunning_ = false;
  int requestSerial_ = 0;  // tells a late posted abort from the request it was meant for
};

}  // namespace kestrix
