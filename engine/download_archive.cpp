// The download control's web archive: opened as a recorded run hands out
// its first entry, fed by a tap per worker and per robots.txt request, and
// closed when the run ends (finished, stopped or cut off).
#include <chrono>
#include <filesystem>

#include "core/global_options.h"
#include "core/job_list.h"
#include "core/job_record.h"
#include "engine/download_control.h"
#include "engine/job_thread.h"

namespace kestrix {

bool TDownloadControl::RunRecords() const {
  if (warcRequest_.Record) return true;
  if (runningProject_.empty()) return false;
  const int jobs = context_.Store.JobCount(runningProject_);
  for (int job = 1; job <= jobs; ++job) {
    TJobRecord record;
    context_.Store.GetJob(runningProject_, job, record);
    if (record.checkRecordWarc) return true;
  }
  return false;
}

void TDownloadControl::BeginWarc() {
  if (warcBegun_) return;
  warcBegun_ = true;
  warcFiles_.clear();
  warcError_ = {};
  if (!RunRecords()) return;
  const TGlobalOptions& options = context_.Options;
  TWarcSettings settings;
  if (warcRequest_.Path.empty()) {
    settings.folder = options.DownLoadFolder + runningProject_;
    settings.baseName = DefaultWarcBaseName(runningProject_, std::chrono::system_clock::now());
  } else {
    SplitWarcPath(warcRequest_.Path, settings.folder, settings.baseName);
  }
  settings.maxFileSize = warcRequest_.MaxFileSize;
  settings.software = ProgramAgentText();
  // What the run was asked to do, so that the archive says how it was made.
  settings.info.emplace_back("isPartOf", runningProject_);
  if (const std::optional<std::string> agent = AgentText(options)) {
    settings.info.emplace_back("http-header-user-agent", *agent);
  }
  settings.info.emplace_back("robots", options.FollowRobots ? "obey" : "ignore");
  const int jobs = context_.Store.JobCount(runningProject_);
  for (int job = 1; job <= jobs; ++job) {
    TJobRecord record;
    context_.Store.GetJob(runningProject_, job, record);
    settings.info.emplace_back("job", JobRecordToText(record));
  }
  std::error_code ignored;
  std::filesystem::create_directories(settings.folder, ignored);
  warc_ = std::make_shared<TWarcRun>(std::move(settings), [this](const TWarcError& error) {
    warcError_ = error;
    TEngineNotice notice;
    notice.Kind = TNoticeKind::WarcFailed;
    notice.Subject = error.path;
    notice.Warc = error;
    context_.Observer.NoticeReported(notice);
  });
  if (!warc_->Open()) {
    warc_.reset();
    return;
  }
  for (int slot = 0; slot < kWorkerSlots; ++slot) AttachWarcTap(slot);
}

void TDownloadControl::AttachWarcTap(int slot) {
  TJobThread* worker = workers_[static_cast<size_t>(slot)].get();
  if (!warc_ || worker == nullptr) return;
  // Between two requests: the tap it had has no exchange open.
  warcTaps_[static_cast<size_t>(slot)] = warc_->MakeTap();
  worker->Tap = warcTaps_[static_cast<size_t>(slot)].get();
}

std::unique_ptr<TExchangeTap> TDownloadControl::MakeWarcTap() {
  return warc_ ? warc_->MakeTap() : nullptr;
}

void TDownloadControl::EndWarc() {
  warcBegun_ = false;
  if (!warc_) return;
  warc_->Close();
  warcFiles_ = warc_->Files();
  warc_.reset();
}

}  // namespace kestrix
