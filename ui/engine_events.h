// The desktop program's side of the engine observer. Entry changes go to the
// queue model, which keeps them as values and shows them in batches;
// everything else becomes a Qt signal for the main window, with the texts
// the window shows. A handler that would open a modal box must connect with
// Qt::QueuedConnection: a nested event loop inside an engine callback would
// run the engine again from within itself.
#pragma once

#include <QObject>
#include <string>

#include "engine/engine_observer.h"

namespace kestrix {

class TQueueModel;

// The status bar's panels, left to right.
enum class TStatusPanel : uint8_t { General, Offline, Received, Queue };
inline constexpr int kStatusPanels = 4;

class TEngineEvents final : public QObject, public EngineObserver {
  Q_OBJECT

 public:
  explicit TEngineEvents(TQueueModel& model, QObject* parent = nullptr);

  void SetFollowTail(bool follow) { followTail_ = follow; }
  bool FollowTail() const override { return followTail_; }

  void QueueRowsShown(int32_t entries) override;
  void QueueLoaded(int32_t entries) override;
  void QueueCleared() override;
  void EntryChanged(int32_t index, const TEntryEvent& event) override;
  void EntrySelected(int32_t index) override;
  void JobStateChanged(int jobNumber, TJobState state) override;
  void JobStatesReplaced(TJobState from, TJobState to) override;
  void QueueStatusChanged(int32_t processed, int32_t queued) override;
  void WorkerStateChanged(int slot, TSlotState state) override;
  void RunningChanged(bool running) override;
  void QueueFinished(const std::string& project) override;
  void NoticeReported(const TEngineNotice& notice) override;
  void LinksMended(const TLinkMending& mended) override;

 signals:
  // A queue row (0-based data row) the engine selected.
  void RowSelected(int row);
  void JobState(int jobNumber, const QString& state);
  void JobStatesSwapped(const QString& from, const QString& to);
  void Status(TStatusPanel panel, const QString& text);
  void Worker(int slot, bool busy);
  void Running(bool running);
  void Finished(const QString& project);
  void Error(const QString& text);
  // What the end of the run did to the saved pages' links; empty when it
  // changed nothing.
  void Mended(const QString& text);

 private:
  TQueueModel& model_;
  bool followTail_ = false;
};

}  // namespace kestrix
