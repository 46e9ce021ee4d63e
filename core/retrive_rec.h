// The queue entry, which is also the link record that link extraction builds
// for every link it finds on a page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/job_record.h"
#include "core/shared_text.h"

namespace kestrix {

// The job settings an entry carries. Every entry of a job would otherwise hold
// its own copy of every pattern string, so the settings are shared between
// entries and copied only when one of them is changed. The two fields that
// belong to the entry itself, its URL and its remaining depth, are kept here
// and not in the shared record.
class TEntryJob {
 public:
  TEntryJob() = default;
  // Shares nothing with `record`: takes a copy of it, URL and depth included.
  explicit TEntryJob(const TJobRecord& record) { *this = record; }
  TEntryJob& operator=(const TJobRecord& record);

  std::string editUrl;    // this entry's own URL
  int32_t editDepth = 1;  // the depth still allowed below this entry

  // Every other setting of the job. The shared record's own editUrl is empty
  // and its editDepth is the job's: read the entry's from the members above.
  const TJobRecord& Settings() const;
  const TJobRecord* operator->() const { return &Settings(); }
  // A record of its own for this entry, to be changed without touching the
  // entries it shared its settings with.
  TJobRecord& MutableSettings();

  // The whole record as a plain value, with this entry's URL and depth.
  TJobRecord Record() const;
  bool SharesSettingsWith(const TEntryJob& other) const {
    return settings_ != nullptr && settings_ == other.settings_;
  }

 private:
  std::shared_ptr<TJobRecord> settings_;  // null: the default record
};

// How an entry is fetched.
inline constexpr uint8_t kMethodGet = 1;
inline constexpr uint8_t kMethodPost = 2;  // PostData is the body

// Fields of one size are kept together: a large site's queue holds a
// million of these, and padding between them would cost every one.
struct TRetriveRec {
  uint8_t RequestMethod = kMethodGet;
  uint8_t RemoteFlag = 0;      // 1 when the entry lies on another server than the job's start
  uint8_t LocalScopeFlag = 1;  // cleared once exploration has left the starting server
  uint8_t IsHtml = 0;
  uint8_t ReloadPending = 0;
  // Named only in a script's text, so perhaps no file at all; counted apart
  // when it fails. Not kept in the history file.
  uint8_t ScriptNamed = 0;
  // The HTTP status of the last fetch's reply: 0 when no reply came, -1 when
  // not known (an entry from a history written before it was kept). A
  // status has three digits.
  int16_t StatusCode = -1;
  std::string LinkedText;
  std::string PostData;
  // Start of the exploration zone the limits are measured against; the
  // entries a page queues share their page's.
  SharedText StartUrl;
  // Ends in "/". The entries of one folder share the text (see
  // UrlList::SharedFolder).
  SharedText LocalFolder;
  std::string LocalFileName;  // empty until known
  double LastModified = 0;    // days since 1899-12-30, 0 when unknown
  std::string ETag;           // the saved copy's entity tag, empty when unknown
  int64_t ContentSize = 0;    // -1 when the reply gave no length
  int64_t ReceivedSize = 0;   // bytes of the local file that belong to this document
  TEntryJob Job;
  int32_t LinkKind = 0;   // tag kind the link came from, 0 for a starting URL
  int32_t JobNumber = 0;  // 1-based within the project
  int32_t WorkerIndex = 0;
  int32_t Depth = 0;  // link hops from the starting page
  int32_t ParentIndex = -1;
  int32_t ErrorCode = 0;  // socket error of the last fetch; 10053 also marks an abort
  // The limit that stopped the last fetch (bytes for the size cap, seconds
  // for the time cap), 0 when none did: "Continue aborted" fetches the entry
  // again only once the limit was raised past it.
  int64_t CapLimit = 0;
  // The POST body's type when it is not a urlencoded form (a multipart
  // form's, with its boundary); empty: urlencoded. Nearly every entry has
  // none, so it costs a null pointer rather than a string.
  SharedText PostContentType;
};

// Whether the entry's last fetch ended in failure: an error of its own, no
// reply at all, or a reply that is neither a document nor "not modified" (an
// error status, a relocation that was not followed). An entry whose status
// is not known counts by its error code alone.
bool FetchFailed(const TRetriveRec& entry);

// Sets every field but Job to its initial value.
void InitRetriveRec(TRetriveRec& entry);

}  // namespace kestrix
