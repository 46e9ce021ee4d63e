#include "ui/engine_events.h"

#include <QStringList>

#include "engine/queue_texts.h"
#include "ui/queue_model.h"

namespace kestrix {

TEngineEvents::TEngineEvents(TQueueModel& model, QObject* parent)
    : QObject(parent), model_(model) {}

void TEngineEvents::QueueRowsShown(int32_t entries) {
  model_.SetRowsShown(entries);
}

void TEngineEvents::QueueLoaded(int32_t entries) {
  model_.Load(entries);
}

void TEngineEvents::QueueCleared() {
  model_.Clear();
}

void TEngineEvents::EntryChanged(int32_t index, const TEntryEvent& event) {
  model_.ApplyEvent(index, event);
}

void TEngineEvents::EntrySelected(int32_t index) {
  if (index >= 0) emit RowSelected(index);
}

void TEngineEvents::JobStateChanged(int jobNumber, TJobState state) {
  emit JobState(jobNumber, QString::fromLatin1(JobStateText(state)));
}

void TEngineEvents::JobStatesReplaced(TJobState from, TJobState to) {
  emit JobStatesSwapped(QString::fromLatin1(JobStateText(from)),
                        QString::fromLatin1(JobStateText(to)));
}

void TEngineEvents::QueueStatusChanged(int32_t processed, int32_t queued) {
  emit Status(TStatusPanel::Received, QString::fromStdString(ReceivedStatusText(processed)));
  emit Status(TStatusPanel::Queue, QString::fromStdString(QueueStatusText(queued)));
  if (queued <= processed) emit Status(TStatusPanel::General, QString::fromLatin1(kQueueDoneText));
}

void TEngineEvents::WorkerStateChanged(int slot, TSlotState state) {
  emit Worker(slot, state == TSlotState::Busy);
}

void TEngineEvents::RunningChanged(bool running) {
  emit Running(running);
}

void TEngineEvents::QueueFinished(const std::string& project) {
  emit Finished(QString::fromStdString(project));
}

void TEngineEvents::NoticeReported(const TEngineNotice& notice) {
  emit Error(QString::fromStdString(NoticeText(notice)));
}

void TEngineEvents::LinksMended(const TLinkMending& mended) {
  QStringList lines;
  for (const std::string& text :
       {MendedLinksText(mended), MissingScriptFilesText(mended), UnmendedPagesText(mended)}) {
    if (!text.empty()) lines.append(QString::fromStdString(text));
  }
  emit Mended(lines.join(QStringLiteral("; ")));
}

}  // namespace kestrix
