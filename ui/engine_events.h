// The desktop program's side of the engine observer. Queue rows go to the
// queue model, which shows them in batches; everything else becomes a Qt
// signal for the main window. A handler that would open a modal box must
// connect with Qt::QueuedConnection: a nested event loop inside an engine
// callback would run the engine again from within itself.
#pragma once

#include <QObject>
#include <string>

#include "engine/engine_observer.h"

namespace kestrix {

class TQueueModel;

class TEngineEvents final : public QObject, public EngineObserver {
  Q_OBJECT

 public:
  explicit TEngineEvents(TQueueModel& model, QObject* parent = nullptr);

  void SetFollowTail(bool follow) { followTail_ = follow; }
  bool FollowTail() const override { return followTail_; }

  void QueueRowCountChanged(int rows) override;
  void QueueCellChanged(int row, int column, const std::string& text) override;
  void QueueRowSelected(int row) override;
  void QueueCleared() override;
  void JobStateChanged(int jobNumber, const std::string& state) override;
  void JobStatesReplaced(const std::string& from, const std::string& to) override;
  void StatusText(int panel, const std::string& text) override;
  void WorkerStateChanged(int slot, int state) override;
  void RunningChanged(bool running) override;
  void QueueFinished(const std::string& project) override;
  void ErrorReported(const std::string& text) override;

 signals:
  // A queue row (0-based data row) the engine selected.
  void RowSelected(int row);
  void JobState(int jobNumber, const QString& state);
  void JobStatesSwapped(const QString& from, const QString& to);
  void Status(int panel, const QString& text);
  void Worker(int slot, int state);
  void Running(bool running);
  void Finished(const QString& project);
  void Error(const QString& text);

 private:
  TQueueModel& model_;
  bool followTail_ = false;
};

}  // namespace kestrix
