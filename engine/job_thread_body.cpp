// The body side of TJobThread: where a reply's body goes (appended to the
// saved part, into a new file, through the decoder of a coded body, or
// nowhere when the part does not fit) and the progress it shows meanwhile.
#include <filesystem>

#include "core/file_util.h"
#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "engine/download_control.h"
#include "engine/job_thread.h"
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

void TJobThread::HandleDocBegin() {
  NoteActivity();
  TRetriveRec& entry = *CurrentEntry;
  TEntryEvent transferring;
  transferring.Phase = TEntryPhase::Transferring;
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
    } else {
      OpenReceiveStream(path);
      const std::optional<double> date = LastModifiedOf(ReceivedHeader());
      if (date) entry.LastModified = *date;
      transferring.DateChanged = true;
      transferring.Date = date.value_or(0);
    }
  } catch (const std::exception&) {
    AnalyseAllowed = false;
    CloseReceiveStream();
  }
  Report(transferring);
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
    decodeFailure_ = TFetchOutcome::UnknownTransferCoding;
    unknownCoding_ = transfer.substr(0, 100);
  } else if (kind == TContentCoding::Unsupported) {
    decodeFailure_ = TFetchOutcome::UnknownContentCoding;
    unknownCoding_ = coding.substr(0, 100);
  }
  if (decodeFailure_ != TFetchOutcome::Reply) {
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

void TJobThread::HandleDocData(int length) {
  NoteActivity();
  control_.AddBytesReceived(length);
  const TRetriveRec& entry = *CurrentEntry;
  TEntryEvent progress;
  progress.Phase = TEntryPhase::Transferring;
  progress.Size = TEntryEvent::TSize::Progress;
  progress.Progress = {entry.ReceivedSize, entry.ContentSize, ReceivedCount(), ContentLength()};
  Report(progress);
}

void TJobThread::CloseReceiveStream() {
  ReceiveStream = nullptr;
  decoder_.reset();
  file_.reset();
}

}  // namespace kestrix
