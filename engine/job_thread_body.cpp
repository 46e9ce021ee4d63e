// The body side of TJobThread: where a reply's body goes (appended to the
// saved part, into a new file, through the decoder of a coded body, or
// nowhere when the part does not fit) and the progress it shows meanwhile.
#include <climits>
#include <filesystem>

#include "core/file_util.h"
#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "engine/download_control.h"
#include "engine/job_thread.h"
#include "engine/queue_rows.h"
#include "engine/reply_header.h"

namespace kestrix {
namespace {

constexpr int kPartialContent = 206;

}  // namespace

int64_t LocalFileSize(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<int64_t>(size);
}

std::string ProgressCellText(int64_t receivedSize, int64_t contentSize, int64_t receivedCount,
                             int64_t contentLength) {
  // A size kept from an earlier fetch may be -1 (unknown): the divisor
  // must stay positive, and the product must not overflow.
  if (contentLength >= 1 && contentLength >= receivedCount && contentSize >= 0 &&
      contentSize < INT64_MAX) {
    const auto percent =
        static_cast<int64_t>(static_cast<long double>(receivedSize + receivedCount) * 100 /
                             static_cast<long double>(contentSize + 1));
    return "(" + std::to_string(percent) + "%)  " + std::to_string(contentSize);
  }
  return "> " + std::to_string(receivedCount);
}

void TJobThread::HandleDocBegin() {
  NoteActivity();
  TRetriveRec& entry = *CurrentEntry;
  SetQueueCell(4, "Transferring ...");
  CloseReceiveStream();
  try {
    const TGlobalOptions& options = control_.Context().Options;
    if (!DirectoryExists(entry.LocalFolder) && !ForceDirectories(entry.LocalFolder)) {
      entry.LocalFolder = AddBackslash(options.DownLoadFolder) + entry.Job->ProjectName + "/";
    }
    const std::string path = entry.LocalFolder + entry.LocalFileName;
    if (StatusCode() == kPartialContent && !PartFits(path)) {
      // Appended, or saved as the whole document, this part would corrupt
      // the copy: it is dropped and the document fetched whole.
      discarding_ = true;
      AnalyseAllowed = false;
      return;
    }
    OpenReceiveStream(path);
    ReadLastModified();
  } catch (const std::exception&) {
    AnalyseAllowed = false;
    CloseReceiveStream();
  }
}

// A partial reply is used only when it is the one asked for: it starts
// exactly at the end of the local file, which holds ReceivedSize bytes, and
// runs to the end of the document. Unasked, only a part from byte 0 is the
// whole document.
bool TJobThread::PartFits(const std::string& path) const {
  const TRetriveRec& entry = *CurrentEntry;
  if (!resuming_) return ContentRangeBegin.empty() || ContentRangeBegin == "0";
  return ContentRangeBegin == std::to_string(entry.ReceivedSize) &&
         ContentLength() == entry.ContentSize - entry.ReceivedSize &&
         LocalFileSize(path) == entry.ReceivedSize;
}

void TJobThread::OpenReceiveStream(const std::string& path) {
  TRetriveRec& entry = *CurrentEntry;
  const std::vector<std::string>& header = ReceivedHeader();
  const std::string coding = HeaderValue(header, "content-encoding");
  const std::string transfer = HeaderValue(header, "transfer-encoding");
  const bool chunked = IsChunkedTransfer(transfer);
  const TContentCoding kind = ContentCodingOf(coding);
  if (!chunked && ContentCodingOf(transfer) != TContentCoding::Identity) {
    decodeFailure_ = "Unsupported Transfer-Encoding: " + transfer.substr(0, 100);
  } else if (kind == TContentCoding::Unsupported) {
    decodeFailure_ = "Unsupported Content-Encoding: " + coding.substr(0, 100);
  }
  if (!decodeFailure_.empty()) {
    AnalyseAllowed = false;
    return;
  }
  const bool coded = chunked || kind != TContentCoding::Identity;
  if (resuming_ && !coded && StatusCode() == kPartialContent) {
    file_ = std::make_unique<TFileOutStream>(path, TFileOutStream::Append);
    ReceiveStream = file_.get();
    return;
  }
  file_ = std::make_unique<TFileOutStream>(path, TFileOutStream::Create);
  entry.ReceivedSize = 0;
  // The length of a coded body says nothing about the document's size,
  // which is known only once it has been decoded whole.
  entry.ContentSize = !coded && ContentLength() >= 0 ? ContentLength() : -1;
  if (coded) {
    decoder_ = std::make_unique<TBodyDecoder>(*file_, chunked, kind);
    ReceiveStream = decoder_.get();
  } else {
    ReceiveStream = file_.get();
  }
}

void TJobThread::ReadLastModified() {
  TRetriveRec& entry = *CurrentEntry;
  const std::optional<double> date = LastModifiedOf(ReceivedHeader());
  if (date) entry.LastModified = *date;
  SetQueueCell(3, date ? QueueDateText(*date) : "Unknown");
}

void TJobThread::HandleDocData(int length) {
  NoteActivity();
  control_.AddBytesReceived(length);
  const TRetriveRec& entry = *CurrentEntry;
  SetQueueCell(
      2, ProgressCellText(entry.ReceivedSize, entry.ContentSize, ReceivedCount(), ContentLength()));
}

void TJobThread::CloseReceiveStream() {
  ReceiveStream = nullptr;
  decoder_.reset();
  file_.reset();
}

}  // namespace kestrix
