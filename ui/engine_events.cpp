#include "ui/engine_events.h"

#include "ui/queue_model.h"

namespace kestrix {

TEngineEvents::TEngineEvents(TQueueModel& model, QObject* parent)
    : QObject(parent), model_(model) {}

void TEngineEvents::QueueRowCountChanged(int rows) {
  model_.SetGridRows(rows);
}

void TEngineEvents::QueueCellChanged(int row, int column, const std::string& text) {
  model_.SetCell(row, column, text);
}

void TEngineEvents::QueueRowSelected(int row) {
  if (row >= 1) emit RowSelected(row - 1);
}

void TEngineEvents::QueueCleared() {
  model_.Clear();
}

void TEngineEvents::JobStateChanged(int jobNumber, const std::string& state) {
  emit JobState(jobNumber, QString::fromStdString(state));
}

void TEngineEvents::JobStatesReplaced(const std::string& from, const std::string& to) {
  emit JobStatesSwapped(QString::fromStdString(from), QString::fromStdString(to));
}

void TEngineEvents::StatusText(int panel, const std::string& text) {
  emit Status(panel, QString::fromStdString(text));
}

void TEngineEvents::WorkerStateChanged(int slot, int state) {
  emit Worker(slot, state);
}

void TEngineEvents::RunningChanged(bool running) {
  emit Running(running);
}

void TEngineEvents::QueueFinished(const std::string& project) {
  emit Finished(QString::fromStdString(project));
}

void TEngineEvents::ErrorReported(const std::string& text) {
  emit Error(QString::fromStdString(text));
}

}  // namespace kestrix
