// The body side of TJobThread: whether a reply's body is kept (appended to
// the saved part or saved anew, which the fetch core does) or dropped when
// the part does not fit, and the progress it shows meanwhile.
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/file_util.h"
#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "engine/download_control.h"
#include "engine/job_thread.h"

namespace kestrix {
namespace {

constexpr int kPartialContent = 206;

}  // namespace

int64_t LocalFileSize(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<int64_t>(size);
}

void TJobThread::BodyBegins() {
  TRetriveRec& entry = *CurrentEntry;
  TEntryEvent transferring;
  transferring.Phase = TEntryPhase::Transferring;
  CloseBody();
  bodyOpened_ = false;
  try {
    const TGlobalOptions& options = control_.Context().Options;
    if (!DirectoryExists(entry.LocalFolder) && !ForceDirectories(entry.LocalFolder)) {
      const int error = errno;
      const std::string wanted = entry.LocalFolder;
      entry.LocalFolder = AddBackslash(options.DownLoadFolder) + entry.Job->ProjectName + "/";
      // Not even the project folder can be made: nothing of the run can be
      // saved.
      if (!DirectoryExists(entry.LocalFolder) && !ForceDirectories(entry.LocalFolder)) {
        folderNotMade_ = true;
        throw EFileError("Cannot create folder \"" + wanted + "\": " + std::strerror(error), error);
      }
    }
    const std::string path = entry.LocalFolder + entry.LocalFileName;
    if (StatusCode() == kPartialContent && !PartFits(path)) {
      // Appended, or saved as the whole document, this part would corrupt
      // the copy: it is dropped and the document fetched whole.
      discarding_ = true;
      AnalyseAllowed = false;
    } else {
      OpenBody(entry, path, resuming_ && StatusCode() == kPartialContent);
      bodyOpened_ = BodyOpen();
      // The copy's validators, for its next update. A reply without a date
      // leaves the one kept; a tag names this body only.
      if (LastModified() > 0) entry.LastModified = LastModified();
      entry.ETag = ETag();
      transferring.DateChanged = true;
      transferring.Date = LastModified();
    }
  } catch (const EFileError& failure) {
    AnalyseAllowed = false;
    BodyNotKept(WriteStopOf(failure.Errno), failure.what());
  } catch (const std::exception& failure) {
    AnalyseAllowed = false;
    BodyNotKept(TBodyStop::WriteFailed, failure.what());
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

void TJobThread::BodyData(const char* /*data*/, int length) {
  control_.AddBytesReceived(length);
  const TRetriveRec& entry = *CurrentEntry;
  TEntryEvent progress;
  progress.Phase = TEntryPhase::Transferring;
  progress.Size = TEntryEvent::TSize::Progress;
  progress.Progress = {entry.ReceivedSize, entry.ContentSize, DecodedCount(),
                       BodyReframed() ? -1 : ContentLength()};
  Report(progress);
}

}  // namespace kestrix
