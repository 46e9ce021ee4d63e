#include "core/retrive_rec.h"

namespace kestrix {

namespace {

const TJobRecord& DefaultRecord() {
  static const TJobRecord record;
  return record;
}

}  // namespace

TEntryJob& TEntryJob::operator=(const TJobRecord& record) {
  auto shared = std::make_shared<TJobRecord>(record);
  editUrl = std::move(shared->editUrl);
  shared->editUrl.clear();
  editDepth = record.editDepth;
  settings_ = std::move(shared);
  return *this;
}

const TJobRecord& TEntryJob::Settings() const {
  return settings_ ? *settings_ : DefaultRecord();
}

TJobRecord& TEntryJob::MutableSettings() {
  if (!settings_) {
    settings_ = std::make_shared<TJobRecord>();
  } else if (settings_.use_count() > 1) {
    settings_ = std::make_shared<TJobRecord>(*settings_);
  }
  return *settings_;
}

TJobRecord TEntryJob::Record() const {
  TJobRecord record = Settings();
  record.editUrl = editUrl;
  record.editDepth = editDepth;
  return record;
}

bool FetchFailed(const TRetriveRec& entry) {
  constexpr int kNotModified = 304;
  const int status = entry.StatusCode;
  return entry.ErrorCode != 0 || status == 0 || (status >= 300 && status != kNotModified);
}

void InitRetriveRec(TRetriveRec& entry) {
  TEntryJob job = std::move(entry.Job);
  entry = TRetriveRec{};
  entry.Job = std::move(job);
}

}  // namespace kestrix
