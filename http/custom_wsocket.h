// The non-blocking TCP socket beneath the HTTP client. Every outcome of a
// lookup, connect, send or receive is reported later through an event fired
// from the owning thread's event loop; no call ever waits for the network.
#pragma once

#include <sys/types.h>
#include <QSocketNotifier>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/deferred.h"
#include "http/dns_lookup.h"
#include "http/send_buffer.h"

namespace kestrix {

enum TSocketState : std::uint8_t {
  wsInvalidState,
  wsOpened,
  wsBound,
  wsConnecting,
  wsConnected,
  wsAccepting,
  wsListening,
  wsClosed
};

enum TWSocketOption : unsigned { wsoNoReceiveLoop = 1 };
enum TSocketSendFlags : int { wsSendNormal = 0, wsSendUrgent = 1 };
enum TSocketLingerOnOff : std::uint8_t { wsLingerOff, wsLingerOn, wsLingerNoSet };

class TCustomWSocket {
 public:
  using TErrorEvent = std::function<void(TCustomWSocket& sender, std::uint16_t error)>;

  TCustomWSocket();
  virtual ~TCustomWSocket();
  TCustomWSocket(const TCustomWSocket&) = delete;
  TCustomWSocket& operator=(const TCustomWSocket&) = delete;

  TErrorEvent OnDataAvailable, OnDataSent, OnSessionClosed, OnSessionAvailable, OnSessionConnected,
      OnDnsLookupDone;
  std::function<void(TCustomWSocket& sender, int bytesSent)> OnSendData;
  std::function<void(TCustomWSocket& sender, TSocketState oldState, TSocketState newState)>
      OnChangeState;
  // Fired instead of raising when assigned; the message is in ErrorMessage().
  std::function<void(TCustomWSocket& sender)> OnError;
  // An exception escaped an event handler run from the event loop; unless
  // the handler clears canClose the connection is aborted.
  std::function<void(TCustomWSocket& sender, const std::exception& e, bool& canClose)>
      OnBgException;

  // Settings; the first five can change only while the socket is closed.
  const std::string& Addr() const { return addr_; }
  void SetAddr(const std::string& value);
  const std::string& Port() const { return port_; }
  void SetPort(const std::string& value);
  const std::string& Proto() const { return proto_; }
  void SetProto(const std::string& value);
  const std::string& LocalAddr() const { return localAddr_; }
  void SetLocalAddr(const std::string& value);
  const std::string& LocalPort() const { return localPort_; }
  void SetLocalPort(const std::string& value);
  int SendFlags() const { return sendFlags_; }
  void SetSendFlags(int value);

  bool MultiThreaded = false;
  unsigned ComponentOptions = 0;
  int FlushTimeout = 60;
  TSocketLingerOnOff LingerOnOff = wsLingerOn;
  int LingerTimeout = 0;

  // Results and counters.
  TSocketState State() const { return state_; }
  const std::string& DnsResult() const { return dnsResult_; }
  const std::vector<std::string>& DnsResultList() const { return dnsResultList_; }
  std::string PeerAddr() const;
  std::string PeerPort() const;
  std::int64_t ReadCount() const { return readCount_; }
  virtual int RcvdCount() const;  // bytes waiting to be read
  int LastError = 0;
  const std::string& ErrorMessage() const { return errorMessage_; }
  bool AllSent() const { return allSent_; }

  void DnsLookup(const std::string& host);
  void CancelDnsLookup();
  virtual void Connect();
  // Queues the data; returns `length`, or -1 when not connected.
  int Send(const void* data, int length);
  // Count read, 0 when the peer closed, -1 with LastError set on error.
  int Receive(void* buffer, int size);
  virtual void Close();
  virtual void Abort();
  // Stops watching for incoming data until ResumeReading (a bandwidth cap):
  // what arrives meanwhile waits in the system, and so does a close.
  void PauseReading();
  // Watches again, and looks at once for what arrived meanwhile.
  void ResumeReading();
  bool ReadingPaused() const { return readPaused_; }

 protected:
  // Hooks for a layer between the descriptor and the events (TLS). Reads
  // and writes return -1 with errno set (EAGAIN: try again when the
  // descriptor is ready), as recv() and send() do.
  virtual void TriggerSessionConnected(int error);
  virtual ssize_t ReadRaw(void* buffer, std::size_t size);
  virtual ssize_t WriteRaw(const char* data, std::size_t size, int flags);
  // True while the layer needs the readiness notifications for itself.
  virtual bool LayerBusy() const { return false; }
  virtual void LayerReady() {}
  // The error a close by the peer is reported with.
  virtual int PeerCloseError() const { return 0; }
  // The descriptor was released; never called while destroying.
  virtual void HandleReleased() {}
  int Handle() const { return fd_; }
  void WantWrite() { writeNotifier_.setEnabled(true); }
  void WantRead() { readNotifier_.setEnabled(true); }
  std::uint64_t Generation() const { return generation_; }

  // Reports a failure: OnError when assigned, else ESocketException.
  void RaiseException(const std::string& message);
  // Sets LastError from errno and reports "Error N in function F".
  void SocketError(const std::string& function);
  void ChangeState(TSocketState newState);
  bool Destroying() const { return destroying_; }

 private:
  template <class F>
  void Guarded(F&& work);
  void HandleBgException(const std::exception& e);
  void StartLookup(const std::string& host);
  void OnReadable();
  void OnWritable();
  void HandleConnected(int error);
  void HandleClosed(int error);
  // `waiting` is the count of bytes known to wait, or -1 when unknown.
  void ReceiveLoop(int waiting = -1);
  void TryToSend();
  void ReleaseHandle();  // closes the descriptor without any report
  void ResetSettings();
  void FireClosed(int error);

  TDeferred deferred_;
  TAsyncLookup lookup_;
  QSocketNotifier readNotifier_;
  QSocketNotifier writeNotifier_;
  int fd_ = -1;
  // Bumped whenever a descriptor is opened or released, so notifications
  // posted for an earlier connection are recognised and dropped.
  std::uint64_t generation_ = 0;
  TSocketState state_ = wsClosed;
  std::string addr_, port_, proto_ = "tcp", localAddr_ = "0.0.0.0", localPort_ = "0";
  int sendFlags_ = wsSendNormal;
  std::string dnsResult_;
  std::vector<std::string> dnsResultList_;
  std::string errorMessage_;
  std::int64_t readCount_ = 0;
  TSendBuffer sendBuffer_;
  bool allSent_ = true;
  bool closeReported_ = true;  // nothing to report before the first connect
  // The peer ended the stream; shutting down our side would only send it a
  // FIN it no longer reads, one more round through the network per request.
  bool peerClosed_ = false;
  bool readPaused_ = false;
  bool destroying_ = false;
};

}  // namespace kestrix
