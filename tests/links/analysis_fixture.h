// Runs link analysis over pages held in memory: a queue, a parser, a
// scripted resolver and the start entry of a job, as a download would have
// them after fetching its first page.
#pragma once

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/url_list.h"
#include "links/admission.h"
#include "links/html_parser.h"
#include "links/link_extraction.h"
#include "links/local_naming.h"
#include "links/script_resolver.h"

namespace kestrix::testing {

// Answers RunScript from a table of script texts; records what it ran, and
// in Events every call in order ("load TEXT", "run CODE", "clear").
class ScriptedResolver final : public ScriptResolver {
 public:
  std::map<std::string, TExecResultRec> Answers;
  std::vector<std::string> Ran, Events;

  void LoadPage(const std::string& text) override {
    page_ = text;
    Events.push_back("load " + text);
  }
  bool RunScript(const std::string& code) override {
    Ran.push_back(code);
    Events.push_back("run " + code);
    auto it = Answers.find(code);
    if (it == Answers.end()) return false;
    result_ = it->second;
    return true;
  }
  void ClearPage() override { Events.push_back("clear"); }
  const std::string& PageText() const override { return page_; }
  TCaptureKind Kind() const override { return TCaptureKind::Url; }
  const TExecResultRec& Result() const override { return result_; }

 private:
  std::string page_;
  TExecResultRec result_;
};

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A job from words: an offline copy of the start server with every part of
// a page loaded, or with "bare" the defaults; either way its links are made
// local. "depth=N", "rmtdepth=N", "retrieve=MASKS",
// "ignore=MASKS", "server" or "path" (the starting limit); a switch's name
// turns it on and "no" before the name off.
inline TJobRecord JobOf(const std::string& words) {
  TJobRecord job =
      words.starts_with("bare") ? TJobRecord() : JobOf("bare depth=3 img style script server");
  job.checkLocalize = true;
  const std::map<std::string, bool TJobRecord::*> switches = {
      {"htm", &TJobRecord::checkAddHtmExt},           {"img", &TJobRecord::checkLoadImg},
      {"style", &TJobRecord::checkLoadStyle},         {"script", &TJobRecord::checkLoadScript},
      {"embed", &TJobRecord::checkLoadEmbed},         {"linktourl", &TJobRecord::checkLinkToUrl},
      {"replicate", &TJobRecord::checkReplicate},     {"other", &TJobRecord::checkOtherServers},
      {"rmtserver", &TJobRecord::radioRmtThisServer}, {"rmtpath", &TJobRecord::radioRmtThisPath},
      {"rmtimg", &TJobRecord::checkRmtLoadImg},
  };
  std::istringstream in(words);
  for (std::string word; in >> word;) {
    const bool off = word.starts_with("no") && switches.contains(word.substr(2));
    if (off || switches.contains(word)) job.*switches.at(off ? word.substr(2) : word) = !off;
    if (word.starts_with("depth=")) job.editDepth = std::stoi(word.substr(6));
    if (word.starts_with("rmtdepth=")) job.EditRmtDepth = std::stoi(word.substr(9));
    if (word.starts_with("retrieve=")) job.lcleditRetriveFile = word.substr(9);
    if (word.starts_with("ignore=")) job.lcleditIgnoreFile = word.substr(7);
    if (word == "server" || word == "path")
      job.radioThisPath = !(job.radioThisServer = word == "server");
  }
  job.lclCheckRetriveFile = !job.lcleditRetriveFile.empty();
  job.lclCheckIgnoreFile = !job.lcleditIgnoreFile.empty();
  return job;
}

struct AnalysisRun {
  TEngineState State;
  TAnalysisTarget Target{State, "/dl/", "index.html", {}};
  THTMLParser Parser;
  ScriptedResolver Resolver;

  // Queues the job's starting URL with the local name a worker gives a page.
  int32_t Start(TJobRecord job, const std::string& url) {
    if (job.ProjectName.empty()) job.ProjectName = "P";
    const int32_t index =
        AppendStartUrl(State.Queue, job, 1, url,
                       LocalDir(url, Target.DownLoadFolder, job.ProjectName, job.checkReplicate));
    NamePage(index);
    return index;
  }

  void NamePage(int32_t index) {
    TRetriveRec& e = State.Queue.Entry(index);
    if (!e.LocalFileName.empty()) return;
    const bool addHtm = e.Job->checkLocalize && e.Job->checkAddHtmExt;
    e.LocalFileName =
        MakeLocalFileName(e.Job.editUrl, e.LocalFolder, "", State.Names, addHtm, Target.DefaultDoc);
  }

  // Analyses `html` as the page of entry `index`; returns the edited lines.
  std::vector<std::string> Analyse(int32_t index, const std::string& html,
                                   std::optional<std::string>* error = nullptr) {
    std::vector<std::string> lines = SplitLines(html);
    auto result = ParsePage(lines, State.Queue.Entry(index), index, Target, Resolver, Parser);
    if (error) *error = result;
    return lines;
  }

  // Every URL queued after the start entry, in queue order.
  std::vector<std::string> Queued() const {
    std::vector<std::string> urls;
    for (int32_t i = 1; i < State.Queue.Count(); ++i) urls.emplace_back(State.Queue.Url(i));
    return urls;
  }

  // The index of the entry queued under `url`, or -1.
  int32_t Find(const std::string& url) const { return State.Queue.Find(url); }
  const TRetriveRec& At(int32_t index) const { return State.Queue.Entry(index); }
};

}  // namespace kestrix::testing
