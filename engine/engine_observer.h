// How the download engine tells a front end what changed. The engine never
// prints, shows a dialog or reads a widget; the desktop program, the command
// line and tests implement this interface and decide what to show.
#pragma once

#include <string>

namespace kestrix {

class EngineObserver {
 public:
  virtual ~EngineObserver() = default;

  // The queue grid: row 0 is the header, entry i is row i + 1; columns are
  // 0 URL, 1 linked text, 2 size or progress, 3 date, 4 state.
  virtual void QueueRowCountChanged(int /*rows*/) {}
  virtual void QueueCellChanged(int /*row*/, int /*column*/, const std::string& /*text*/) {}
  virtual void QueueRowSelected(int /*row*/) {}
  virtual void QueueCleared() {}
  // Whether the front end wants the newest row selected as entries are handed out.
  virtual bool FollowTail() const { return false; }

  // The job list: job `jobNumber` (1-based, of the running project) is
  // "Started"; every job state `from` becomes `to` ("Started" into
  // "Completed" or "Stoped"). Jobs are named by number, not by URL: two jobs
  // may share a URL, and the engine normalises the URL it starts.
  virtual void JobStateChanged(int /*jobNumber*/, const std::string& /*state*/) {}
  virtual void JobStatesReplaced(const std::string& /*from*/, const std::string& /*to*/) {}

  // Status panels: 0 general ("Ok !"), 2 "Recieved: N", 3 "Queue: N".
  virtual void StatusText(int /*panel*/, const std::string& /*text*/) {}
  // A worker slot's state: 0 none, 1 idle, 2 busy.
  virtual void WorkerStateChanged(int /*slot*/, int /*state*/) {}
  // Downloading (true) or idle (false): the front end's busy indication.
  virtual void RunningChanged(bool /*running*/) {}
  // Every entry of the queue has been processed and the history was saved.
  virtual void QueueFinished(const std::string& /*project*/) {}
  // Something went wrong that the user should hear about (for instance an
  // invalid filter pattern met while analysing a page).
  virtual void ErrorReported(const std::string& /*text*/) {}
};

}  // namespace kestrix
