#include "engine/warc_tap.h"

#include <chrono>

namespace kestrix {
namespace {

class TWarcTap : public TExchangeTap {
 public:
  explicit TWarcTap(std::shared_ptr<TWarcRun> run) : run_(std::move(run)) {}

  void ExchangeBegin(const std::string& url, const std::string& peerAddress) override {
    TWarcRecorder* recorder = run_->Recorder();
    if (recorder == nullptr) return;
    id_ = recorder->BeginExchange(url, std::chrono::system_clock::now());
    if (!peerAddress.empty()) recorder->PeerAddress(id_, peerAddress);
  }
  void RequestData(const char* data, std::size_t size) override {
    if (TWarcRecorder* recorder = run_->Recorder()) recorder->RequestBytes(id_, {data, size});
  }
  void ReplyData(const char* data, std::size_t size) override {
    if (TWarcRecorder* recorder = run_->Recorder()) recorder->ReplyBytes(id_, {data, size});
  }
  void ExchangeEnd(TExchangeEnd end, const std::string& /*why*/) override {
    const TWarcRecorder::TExchangeId id = id_;
    id_ = 0;
    TWarcRecorder* recorder = run_->Recorder();
    if (recorder == nullptr) return;
    recorder->EndExchange(id, end);
    run_->CheckFailure();
  }

 private:
  std::shared_ptr<TWarcRun> run_;
  TWarcRecorder::TExchangeId id_ = 0;
};

}  // namespace

void SplitWarcPath(const std::string& path, std::string& folder, std::string& baseName) {
  const std::size_t slash = path.rfind('/');
  folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  baseName = slash == std::string::npos ? path : path.substr(slash + 1);
  for (const char* suffix : {".gz", ".warc"}) {
    if (baseName.size() > std::string(suffix).size() && baseName.ends_with(suffix)) {
      baseName.resize(baseName.size() - std::string(suffix).size());
    }
  }
}

TWarcRun::TWarcRun(TWarcSettings settings, TFailed failed)
    : recorder_(std::move(settings)), failed_(std::move(failed)) {}

bool TWarcRun::Open() {
  open_ = recorder_.Open();
  CheckFailure();
  return open_;
}

void TWarcRun::Close() {
  if (!open_) return;
  open_ = false;
  recorder_.Close();
  CheckFailure();
}

void TWarcRun::CheckFailure() {
  if (reported_ || !recorder_.Error()) return;
  reported_ = true;
  if (failed_) failed_(recorder_.Error());
}

std::unique_ptr<TExchangeTap> TWarcRun::MakeTap() {
  return std::make_unique<TWarcTap>(shared_from_this());
}

}  // namespace kestrix
