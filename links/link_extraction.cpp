#include "links/link_extraction.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <exception>

#include "core/ascii.h"
#include "core/dot_segments.h"
#include "core/url_split.h"
#include "links/css_links.h"
#include "links/html_parser.h"
#include "links/link_rewriting.h"
#include "links/link_text.h"
#include "links/script_files.h"
#include "links/script_resolver.h"
#include "links/text_util.h"
#include "links/url_paths.h"

namespace kestrix {

namespace {

constexpr std::string_view kScheme = "javascript:";

std::string_view WithoutReturn(std::string_view script) {
  if (StartsNoCase(script, "return ")) script.remove_prefix(7);
  return script;
}

bool IsAbsolute(std::string_view link) {
  return StartsNoCase(link, "http://") || StartsNoCase(link, "https://") ||
         StartsNoCase(link, "ftp://");
}

std::string HostWithPort(const TUrlParts& parts) {
  return parts.Port.empty() ? parts.Host : parts.Host + ":" + parts.Port;
}

// The last segment of a URL path, before any query.
std::string PathFileName(std::string_view path) {
  path = path.substr(0, path.find_first_of("?#"));
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

uint16_t KeptKindsFor(const TJobRecord& job) {
  uint16_t kinds = kKeepFrame | kKeepIFrame | kKeepA;
  // Every link that leads to no saved file is made absolute: those of the
  // parts the job does not load are read for that alone.
  if (job.checkLocalize && job.checkLinkToUrl) {
    return kinds | kKeepImg | kKeepEmbed | kKeepLink | kKeepScript;
  }
  if (job.checkLoadImg || job.checkRmtLoadImg) kinds |= kKeepImg;
  if (job.checkLoadEmbed) kinds |= kKeepEmbed;
  if (job.checkLoadStyle) kinds |= kKeepLink;
  if (job.checkLoadScript) kinds |= kKeepScript;
  return kinds;
}

}  // namespace

bool IsSupportedProtocol(std::string_view url) {
  const std::string_view scheme = LinkScheme(url);
  return scheme.empty() || IsFetchableScheme(scheme);
}

bool HasScriptParam(const THTMLTag& tag) {
  for (const THTMLParam& param : tag.Params) {
    if (ContainsNoCase(param.Value, kScheme)) return true;
  }
  return false;
}

TPageContext MakePageContext(const TRetriveRec& page, int32_t pageIndex,
                             std::vector<std::string>& lines) {
  const TUrlParts parts = SplitUrl(page.Job.editUrl);
  std::string startDir = GetUrlDir(page.StartUrl.str());
  std::string startDirLower = AsciiLower(startDir);
  TParsedUrl startFolder = ParseUrl(startDir);
  return TPageContext{page,
                      pageIndex,
                      lines,
                      parts.Proto,
                      HostWithPort(parts),
                      GetUrlDir(parts.Path),
                      std::move(startDir),
                      std::move(startDirLower),
                      ParseUrl(page.StartUrl.str()),
                      std::move(startFolder),
                      PathFileName(parts.Path),
                      {}};
}

TPageAnalysis::TPageAnalysis(std::vector<std::string>& lines, const TRetriveRec& page,
                             int32_t pageIndex, TAnalysisTarget& target, ScriptResolver& resolver,
                             TExtractionRules rules)
    : context_(MakePageContext(page, pageIndex, lines)),
      target_(target),
      resolver_(resolver),
      rules_(rules) {}

bool TPageAnalysis::ResolveScript(const THTMLTag& tag, TLinkCandidate& out) {
  const TJobRecord& job = context_.Page.Job.Settings();
  if (!job.checkLoadScript) return false;
  const THTMLParam* onClick = tag.FindParam("onclick");
  std::string script;
  if (HasScriptParam(tag)) {
    const std::string lower = AsciiLower(out.Link);
    const size_t at = lower.find(kScheme);
    if (at != std::string::npos) {
      script = std::string(WithoutReturn(TrimControls(std::string_view(out.Link).substr(at + 11))));
    }
    if (onClick != nullptr) {
      if (!script.empty() && !script.ends_with(";")) script += "; ";
      script += WithoutReturn(onClick->Value);
    }
  } else if (IsSelfLink(out.Link) && onClick != nullptr) {
    // "#" and "" with a handler are how most pages write a script link.
    script = std::string(WithoutReturn(onClick->Value));
  } else {
    return false;
  }
  if (script.empty() || !RunLinkScript(script)) return false;
  const TExecResultRec& result = resolver_.Result();
  if (TrimControls(result.Url).empty()) return false;
  out.Link = CleanLinkValue(result.Url);
  if (resolver_.Kind() == TCaptureKind::FormSubmit && AsciiLower(result.Method) != "post") {
    // A form sent by GET (its method unset or anything but POST) carries its
    // fields in the address, in place of the action's own query; posting
    // them would ask a static page for something it refuses.
    const size_t hash = out.Link.find('#');
    const std::string fragment = hash == std::string::npos ? "" : out.Link.substr(hash);
    out.Link.erase(std::min(out.Link.find_first_of("?#"), out.Link.size()));
    if (!result.Value.empty()) out.Link += "?" + result.Value;
    out.Link += fragment;
  } else {
    out.Rec.PostData = result.Value;
  }
  out.ScriptResolved = true;
  return true;
}

bool TPageAnalysis::RunLinkScript(const std::string& script) {
  if (scriptRuns_ >= kMaxScriptRunsPerPage || scriptSeconds_ >= kMaxScriptSecondsPerPage) {
    ++skippedScripts_;
    return false;
  }
  ++scriptRuns_;
  const auto start = std::chrono::steady_clock::now();
  const bool captured = resolver_.RunScript(script);
  scriptSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return captured;
}

void TPageAnalysis::ApplyBase(const THTMLTag& tag, const std::string& link) {
  const TParsedUrl base = ParseUrl(link);
  context_.PageDir = base.Dir();
  context_.PageFile = PathFileName(base.Parts.Path);
  // A base on another server moves the host too, or rooted links would
  // resolve against the page's own server.
  if (IsAbsolute(link)) {
    context_.PageProto = base.Parts.Proto;
    context_.PageHost = HostWithPort(base.Parts);
  }
  // The page keeps its own queue entry: renaming it to the base would queue
  // the page again under its own URL, a duplicate whenever the base is the
  // site's root.
  BlankBaseTag(context_, tag);
}

// "http://h:80/x" and "http://h/x" name one document: it is queued, looked
// up and named under the shorter form only.
void TPageAnalysis::DropDefaultPort(TLinkCandidate& out) {
  if (out.Url.Parts.Port.empty() || !out.Url.PortKey.empty()) return;
  out.Rec.Job.editUrl = WithoutDefaultPort(out.Url);
  out.Url = ParseUrl(out.Rec.Job.editUrl);
}

TLinkBase TPageAnalysis::Base() const {
  return TLinkBase{context_.PageProto, context_.PageHost, context_.PageDir, context_.PageFile};
}

bool TPageAnalysis::TakeScriptFile() {
  if (scriptFiles_ >= kMaxScriptFilesPerPage) return false;
  ++scriptFiles_;
  return true;
}

bool TPageAnalysis::MakeAbsolute(TLinkCandidate& out) {
  TRetriveRec& rec = out.Rec;
  TEntryJob& job = rec.Job;
  if (!IsAbsolute(out.Link)) {
    job.editUrl = AbsoluteUrl(out.Link, Base());
    out.Url = ParseUrl(job.editUrl);
    DropDefaultPort(out);
    return true;
  }
  const std::string link = WithoutDotSegments(out.Link);
  out.Url = ParseUrl(link);
  const bool exploring = rules_ == TExtractionRules::Exploration;
  if (context_.Page.RemoteFlag == 0) {
    if (SameServer(out.Url, context_.Start)) {
      job.editUrl = link;
      DropDefaultPort(out);
      return true;
    }
    if (rec.LocalScopeFlag != 0 || exploring) {
      job.editDepth = job->EditRmtDepth + 1;
      if (!exploring) rec.LocalScopeFlag = 0;
    }
    rec.RemoteFlag = 1;
  } else {
    const bool anchor =
        rec.LinkKind == kKindA || rec.LinkKind == kKindArea || rec.LinkKind == kKindFtp;
    if (exploring) {
      rec.LocalScopeFlag = 0;
    } else if (anchor) {
      return false;
    } else {
      job.editDepth = job->EditRmtDepth + 1;
    }
  }
  job.editUrl = RemoveAmp(link);
  if (job.editUrl != link) out.Url = ParseUrl(job.editUrl);
  DropDefaultPort(out);
  rec.StartUrl = link;
  return true;
}

bool TPageAnalysis::BuildCandidate(const THTMLTag& tag, TLinkCandidate& out) {
  out = TLinkCandidate{};
  const bool exploring = rules_ == TExtractionRules::Exploration;
  bool supported = true;
  try {
    if (tag.Params.empty()) return false;
    if (tag.Kind == kKindLink) {
      const TJobRecord& job = context_.Page.Job.Settings();
      const bool notFetched = LinkRole(tag) == TLinkRole::NotFetched;
      // The exploration test lists only the LINK tags a job could fetch;
      // the downloader reads the others only to name them on the web.
      if (notFetched && (exploring || !job.checkLocalize || !job.checkLinkToUrl)) return false;
      out.RewriteOnly = !exploring && (notFetched || !job.checkLoadStyle);
    }
    out.Written = LinkValue(tag);
    // A value broken by tabs or lines is fetched and rewritten as written.
    if (std::optional<std::string> written =
            ValueAsWritten(context_.Lines, tag, LinkAttributeName(tag))) {
      out.Written = std::move(*written);
    }
    out.Link = CleanLinkValue(DecodeLinkEntities(out.Written));
    ResolveScript(tag, out);
    supported = IsSupportedProtocol(out.Link);
    // The exploration test lists unsupported links too, taken as written.
    if (!supported && !exploring) return false;
    if (supported && out.Link.starts_with("//")) out.Link = context_.PageProto + ":" + out.Link;
    if (supported && tag.Kind == kKindBase) {
      ApplyBase(tag, out.Link);
      return false;
    }
    if (supported && tag.Kind == kKindMeta) {
      const size_t eq = out.Link.find('=');
      if (eq == std::string::npos) return false;
      out.Link = std::string(TrimControls(std::string_view(out.Link).substr(eq + 1)));
      // The URL inside the content is what is written and rewritten.
      const size_t at = out.Written.find(out.Link);
      out.Written = at == std::string::npos ? out.Link : out.Written.substr(at);
    }
  } catch (const std::exception&) {
    // A tag whose script cannot be run is skipped; the page goes on.
    return false;
  }
  if (tag.Kind == kKindForm) {
    RewriteFormAction(context_, tag, out.Written, out.Link);
    return false;
  }
  if (!supported) {
    if (!CompleteCandidate(tag, out)) return false;
    out.Rec.Job.editUrl = out.Link;
    out.Url = ParseUrl(out.Link);
    return true;
  }
  return CompleteCandidate(tag, out) && MakeAbsolute(out);
}

bool TPageAnalysis::CompleteCandidate(const THTMLTag& tag, TLinkCandidate& out) {
  const TRetriveRec& page = context_.Page;
  const size_t hash = out.Link.find('#');
  if (hash != std::string::npos) {
    out.Fragment = out.Link.substr(hash);
    out.Link.erase(hash);
  }
  // A link to the page itself ("#top", "") would otherwise resolve to the
  // page's directory and fetch an unrelated document. The exploration test
  // still lists a bare onclick handler, to tell why its script was not run.
  const bool handlerOnly = rules_ == TExtractionRules::Exploration && tag.FindParam("onclick");
  if (out.Link.empty() && !handlerOnly) return false;
  TRetriveRec& rec = out.Rec;
  const std::string postData = std::move(rec.PostData);
  InitRetriveRec(rec);
  if (!postData.empty()) {
    rec.RequestMethod = 2;
    rec.PostData = postData;
  }
  rec.RemoteFlag = page.RemoteFlag;
  rec.LocalScopeFlag = page.LocalScopeFlag;
  rec.JobNumber = page.JobNumber;
  rec.Job = page.Job;
  rec.StartUrl = page.StartUrl;
  rec.Depth = page.Depth;
  rec.ParentIndex = page.ParentIndex;
  rec.LinkKind = tag.Kind;
  // Next, previous and alternate versions are documents, followed as anchors.
  if (tag.Kind == kKindLink && LinkRole(tag) == TLinkRole::Document) rec.LinkKind = kKindA;
  if (tag.Text != nullptr) rec.LinkedText = tag.Text->Text;
  return true;
}

void TPageAnalysis::Admit(const THTMLTag& tag, TLinkCandidate& candidate) {
  if (OnExplore) {
    OnExplore(tag, candidate);
    return;
  }
  if (candidate.RewriteOnly) return;
  const TPageRef pageRef{context_.Page, context_.PageIndex, context_.StartDirLower,
                         context_.StartFolder};
  candidate.QueueIndex = AdmitCandidate(candidate.Rec, candidate.Url, pageRef, target_);
}

void TPageAnalysis::AdmitAndRewrite(const THTMLTag& tag, TLinkCandidate& candidate,
                                    std::string_view attr) {
  Admit(tag, candidate);
  if (!candidate.Rec.LocalFileName.empty()) {
    RewriteQueuedLink(context_, tag, candidate.Written, attr, candidate.Fragment,
                      candidate.ScriptResolved, candidate.Rec.LocalFolder,
                      candidate.Rec.LocalFileName);
    NoteLinked(candidate);
  } else {
    RewriteUnqueuedLink(context_, tag, candidate.Written, candidate.Url.Text, attr);
  }
}

void TPageAnalysis::NoteLinked(const TLinkCandidate& candidate) {
  if (!keepLinked_ || rules_ == TExtractionRules::Exploration ||
      !context_.Page.Job->checkLocalize) {
    return;
  }
  const int32_t index = candidate.QueueIndex >= 0
                            ? candidate.QueueIndex
                            : FindQueuedEntry(target_.State.Queue, candidate.Url);
  if (index >= 0 && linkedSet_.insert(index).second) linked_.push_back(index);
}

void TPageAnalysis::ProcessSrcset(const THTMLTag& tag) {
  const THTMLParam* srcset = tag.FindParam("srcset");
  if (srcset == nullptr) return;
  const std::vector<TSrcsetItem> items = SrcsetItems(srcset->Value);
  // Each candidate is looked for after the previous one, from the
  // attribute's name on, so that a srcset spread over lines is edited too.
  int32_t line = tag.StartLine;
  size_t pos = tag.StartPos;
  for (int32_t i = std::max(tag.StartLine, 0); i <= tag.EndLine && i < LinesCount(); ++i) {
    const std::string lower = AsciiLower(context_.Lines[static_cast<size_t>(i)]);
    const size_t at = lower.find("srcset", i == tag.StartLine ? tag.StartPos : 0);
    if (at != std::string::npos) {
      line = i;
      pos = at;
      break;
    }
  }
  for (const TSrcsetItem& item : items) {
    TLinkCandidate candidate;
    candidate.Written = std::string(item.Text);
    candidate.Link = CleanLinkValue(DecodeLinkEntities(item.Text));
    if (!IsSupportedProtocol(candidate.Link)) continue;
    if (candidate.Link.starts_with("//"))
      candidate.Link = context_.PageProto + ":" + candidate.Link;
    if (!CompleteCandidate(tag, candidate) || !MakeAbsolute(candidate)) continue;
    Admit(tag, candidate);
    // Found where it stands, after the previous candidate.
    std::optional<TTextPlace> place;
    for (int32_t i = line; i <= tag.EndLine && i < LinesCount() && !place; ++i) {
      const size_t found =
          context_.Lines[static_cast<size_t>(i)].find(item.Text, i == line ? pos : 0);
      if (found != std::string::npos) place = TTextPlace{i, found};
    }
    if (!place) break;
    line = place->Line;
    pos = place->Pos + item.Text.size();
    const bool local = !candidate.Rec.LocalFileName.empty();
    std::string text =
        local ? LocalLinkText(context_, candidate.Rec.LocalFolder, candidate.Rec.LocalFileName)
              : ForHtmlAttribute(WebLinkText(context_, item.Text, candidate.Url.Text));
    if (text.empty()) continue;
    if (local) NoteLinked(candidate);
    const size_t hash = item.Text.find('#');
    AddEdit(place->Line, place->Pos, hash == std::string_view::npos ? item.Text.size() : hash,
            std::move(text));
  }
}

void TPageAnalysis::ProcessPoster(const THTMLTag& tag) {
  const THTMLParam* poster = tag.FindParam("poster");
  if (poster == nullptr) return;
  // The picture shown before a video plays is an image of the page.
  THTMLTag image;
  image.Name = "IMG";
  image.Kind = kKindImg;
  image.StartLine = tag.StartLine;
  image.EndLine = tag.EndLine;
  image.StartPos = tag.StartPos;
  image.EndPos = tag.EndPos;
  image.Params.push_back(*poster);
  TLinkCandidate candidate;
  if (BuildCandidate(image, candidate)) AdmitAndRewrite(image, candidate, poster->Name);
}

void TPageAnalysis::ProcessTag(const THTMLTag& tag) {
  TLinkCandidate candidate;
  if (BuildCandidate(tag, candidate)) AdmitAndRewrite(tag, candidate, LinkAttributeName(tag));
  if (tag.Kind == kKindImg) ProcessSrcset(tag);
  if (tag.Name == "VIDEO") ProcessPoster(tag);
  if (tag.Kind == kKindScript) AdmitInlineScriptFiles(*this, tag);
}

void TPageAnalysis::AddEdit(int32_t line, size_t pos, size_t length, std::string text) {
  if (rules_ == TExtractionRules::Exploration) return;
  kestrix::AddEdit(context_, line, pos, length, std::move(text));
}

void TPageAnalysis::Finish() {
  // The exploration test shows the page as the server sent it.
  if (rules_ == TExtractionRules::Exploration) return;
  ApplyEdits(context_);
}

std::optional<std::string> ParsePage(std::vector<std::string>& lines, const TRetriveRec& page,
                                     int32_t pageIndex, TAnalysisTarget& target,
                                     ScriptResolver& resolver, THTMLParser& parser,
                                     std::vector<std::string>* notes,
                                     std::vector<int32_t>* linked) {
  if (lines.empty()) return std::nullopt;
  const TJobRecord& job = page.Job.Settings();
  if (job.checkLoadStyle && IsStyleSheet(page, lines)) {
    return ParseStyleSheet(lines, page, pageIndex, target, resolver, linked);
  }
  parser.Clear();
  parser.KeptKinds = KeptKindsFor(job);
  parser.Lines = &lines;
  parser.Parse();
  parser.Lines = nullptr;
  if (job.checkLoadScript && parser.HasScript) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    resolver.LoadPage(text);
  }
  std::optional<std::string> error;
  TPageAnalysis analysis(lines, page, pageIndex, target, resolver);
  if (linked != nullptr) analysis.KeepLinkedEntries();
  try {
    for (const THTMLItem& item : parser.Items) {
      if (const THTMLTag* tag = AsTag(item)) analysis.ProcessTag(*tag);
    }
    AnalyseInlineStyles(analysis, target);
  } catch (const std::exception& e) {
    error = e.what();
  }
  analysis.Finish();
  if (linked != nullptr) *linked = analysis.LinkedEntries();
  if (analysis.SkippedScripts() > 0 && notes != nullptr) {
    notes->push_back(std::to_string(analysis.SkippedScripts()) +
                     " script links left as written: the page ran its most scripts");
  }
  if (!resolver.PageText().empty()) resolver.ClearPage();
  return error;
}

}  // namespace kestrix
