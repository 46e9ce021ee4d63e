// The job property record: a starting URL and the rules for exploring and
// saving what it links to. Field names follow the property dialog controls
// that edit them, because the stored text form and every reader use them.
#pragma once

#include <cstdint>
#include <string>

namespace kestrix {

// The depths a job may be given. More is never meant, and a remote link's
// budget, its job's remote depth + 1, must not overflow.
inline constexpr int32_t kMinJobDepth = 0;
inline constexpr int32_t kMaxJobDepth = 1000000;

struct TJobRecord {
  std::string ProjectName;
  std::string editUrl;  // in a queue entry's copy: the entry's own URL
  bool checkLocalize = false;
  bool checkAddHtmExt = true;
  bool checkLinkToUrl = false;
  bool checkReplicate = false;
  bool checkLoadScript = false;
  bool checkLoadEmbed = false;
  bool checkLoadStyle = false;
  bool radioThisPath = true;
  bool radioThisServer = false;
  bool checkOtherServers = false;
  bool checkLoadImg = false;
  int32_t editDepth = 1;  // in a queue entry's copy: the depth still allowed below it
  bool lclcheckKoi8 = false;
  bool lclCheckRetriveFile = false;
  bool lclCheckIgnoreFile = false;
  bool lclcheckRetrieveLink = false;
  bool lclcheckIgnoreLink = false;
  std::string lcleditRetriveFile;
  std::string lcleditRetrieveLink;
  std::string lcleditIgnoreFile;
  std::string lcleditIgnoreLink;
  bool radioRmtThisPath = false;
  bool radioRmtThisServer = false;
  bool checkRmtLoadImg = false;
  int32_t EditRmtDepth = 1;
  bool rmtcheckKoi8 = false;
  bool rmtCheckRetriveFile = false;
  bool rmtCheckIgnoreFile = false;
  bool rmtcheckRetrieveLink = false;
  bool rmtcheckIgnoreLink = false;
  std::string rmteditRetrieveFile;
  std::string rmteditRetrieveLink;
  std::string rmteditIgnoreFile;
  std::string rmteditIgnoreLink;
  // Every request and reply of a run that starts the job is also kept in a
  // web archive (WARC) in the project folder.
  bool checkRecordWarc = false;

  bool operator==(const TJobRecord&) const = default;
};

// Sets every field to its default.
void InitJobRecord(TJobRecord& record);

// Whether the job converts pages from KOI8-R on the starting server's side
// (`remoteFlag` 0) or on other servers (1).
inline bool Koi8Converts(const TJobRecord& job, int remoteFlag) {
  return remoteFlag == 0 ? job.lclcheckKoi8 : remoteFlag == 1 && job.rmtcheckKoi8;
}

// The text form stored in the settings file: 37 fields, each followed by a
// grave accent, no escaping. Texts of 36 fields, written before the web
// archive switch, read as records that do not record.
std::string JobRecordToText(const TJobRecord& record);

// Parses a text form into `record`, which the caller has set to defaults.
// Parsing stops at the first field that does not convert; the fields read so
// far keep their values and ProjectName becomes `projectName`. Depths above
// kMaxJobDepth are read as kMaxJobDepth.
void ParseJobRecordText(const std::string& text, const std::string& projectName,
                        TJobRecord& record);

}  // namespace kestrix
