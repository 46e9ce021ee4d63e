#include "engine/body_sink.h"

#include <cerrno>

namespace kestrix {

TBodyStop WriteStopOf(int error) {
  return error == ENOSPC || error == EDQUOT ? TBodyStop::DiskFull : TBodyStop::WriteFailed;
}

void TBodySink::Write(const char* data, std::size_t size) {
  if (stop_ != TBodyStop::None) return;
  if (limit_ >= 0 && written_ + static_cast<int64_t>(size) > limit_) {
    stop_ = TBodyStop::SizeLimit;
    return;
  }
  try {
    file_.Write(data, size);
    written_ += static_cast<int64_t>(size);
  } catch (const EFileError& failure) {
    stop_ = WriteStopOf(failure.Errno);
    failure_ = failure.what();
  }
}

}  // namespace kestrix
