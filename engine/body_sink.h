// What stands between a reply's body and its file: it counts the bytes
// kept, stops at the size limit of one file, and records a write that fails
// instead of throwing inside the HTTP client, so that the fetch can end the
// entry with the path and the system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "http/streams.h"

namespace kestrix {

// Why a body stopped being kept.
enum class TBodyStop : uint8_t { None, SizeLimit, WriteFailed, DiskFull };

// The stop for a file error with system code `error`: a full disk or quota
// is told apart, since room may come back and the entry be fetched again.
TBodyStop WriteStopOf(int error);

class TBodySink : public TOutStream {
 public:
  // `limit`: the bytes the file may take from here on; below 0, none.
  TBodySink(TFileOutStream& file, int64_t limit) : file_(file), limit_(limit) {}
  void Write(const char* data, std::size_t size) override;

  TBodyStop Stopped() const { return stop_; }
  // The path and the system's reason of a failed write.
  const std::string& Failure() const { return failure_; }

 private:
  TFileOutStream& file_;
  int64_t limit_;
  int64_t written_ = 0;
  TBodyStop stop_ = TBodyStop::None;
  std::string failure_;
};

}  // namespace kestrix
