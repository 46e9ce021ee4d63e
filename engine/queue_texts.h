// The texts the front ends show of the engine's values: the queue grid's
// cells, the status panels, the job states and the notices. The engine
// itself never calls these (they are a library of their own); the desktop
// program, the command line and the exploration test do, so that they all
// show the same words.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/retrive_rec.h"
#include "engine/engine_observer.h"

namespace kestrix {

// The columns of the queue grid, in their order.
enum class TQueueColumn : uint8_t { Url, LinkedText, Size, Date, State };
inline constexpr int kQueueColumns = 5;
// "URL", "Linked Text", "Size", "Date", "State".
const char* QueueColumnTitle(TQueueColumn column);

// What one row of the queue grid shows, kept as values: the entry itself is
// read when the row is drawn.
struct TRowFacts {
  bool Loaded = false;    // shown as the history file gave the entry
  bool Reported = false;  // an event came for it since
  TEntryPhase Phase = TEntryPhase::Queued;
  TEntryEvent::TSize Size = TEntryEvent::TSize::Unchanged;
  TTransferProgress Progress;
  bool DateChanged = false;
  double Date = 0;
  int32_t ErrorCode = 0;
  TFetchOutcome Outcome = TFetchOutcome::Reply;
  std::string Reason;
  std::string Detail;
  TBusyFacts Busy;
};

// Takes the event's changes into the row's facts.
void ApplyEntryEvent(TRowFacts& row, const TEntryEvent& event);

// The text of one cell of an entry's row.
std::string QueueCellText(TQueueColumn column, const TRetriveRec& entry, const TRowFacts& row);
// Every cell of a row, in column order.
std::array<std::string, kQueueColumns> QueueRowTexts(const TRetriveRec& entry,
                                                     const TRowFacts& row);
// Every cell of an entry's row as the history file gave it.
std::array<std::string, kQueueColumns> LoadedRowTexts(const TRetriveRec& entry);

// "YYYY-MM-DD HH:MM:SS GMT" for a date in days since 1899-12-30, or
// "Unknown" when there is none (0 or below) or it lies beyond year 9999.
std::string QueueDateText(double lastModified);
// The size column while a body arrives: the share of the whole document
// received so far when the reply gave its length, else the bytes so far.
std::string ProgressText(const TTransferProgress& progress);
// The text of an entry's error code: the socket's, or the engine's own.
std::string EntryErrorText(int32_t code);
// The state column of an ended fetch.
std::string OutcomeText(const TRetriveRec& entry, const TRowFacts& row);
// Why an entry's last fetch failed, from the entry alone (its error code,
// the limit that stopped it, its HTTP status): for rows loaded from a
// history and for the command line's last word on a failed start.
std::string EntryFailureText(const TRetriveRec& entry);
// Why a run ended before its queue was done.
std::string RunStopText(const TRunStop& stop);
// What went wrong with the run's web archive.
std::string WarcErrorText(const TWarcError& error);

// The status panels: "Recieved: N", "Queue: N", and "Ok !" once every
// entry is processed.
std::string ReceivedStatusText(int32_t processed);
std::string QueueStatusText(int32_t queued);
inline constexpr char kQueueDoneText[] = "Ok !";

// "Started", "Stoped", "Completed"; empty for None.
const char* JobStateText(TJobState state);

std::string NoticeText(const TEngineNotice& notice);

// What the end of a run did to the saved pages' links, one text a line;
// empty when it changed nothing and nothing went wrong.
std::string MendedLinksText(const TLinkMending& mended);
std::string MissingScriptFilesText(const TLinkMending& mended);
std::string UnmendedPagesText(const TLinkMending& mended);

}  // namespace kestrix
