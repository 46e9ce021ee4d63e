#include "links/link_extraction.h"

#include <algorithm>
#include <exception>

#include "core/url_split.h"
#include "links/css_links.h"
#include "links/html_parser.h"
#include "links/link_rewriting.h"
#include "links/script_resolver.h"
#include "links/text_fold.h"
#include "links/url_paths.h"

namespace kestrix {

namespace {

constexpr std::string_view kScheme = "javascript:";

std::string_view WithoutReturn(std::string_view script) {
  if (StartsNoCase(script, "return ")) script.remove_prefix(7);
  return script;
}

bool IsAbsolute(std::string_view link) {
  return StartsNoCase(link, "http://") || StartsNoCase(link, "ftp://");
}

std::string HostWithPort(const TUrlParts& parts) {
  return parts.Port.empty() ? parts.Host : parts.Host + ":" + parts.Port;
}

// Whether `startUrl` lies on the server `origin` ("proto://host"). The next
// character must end the host, so that "http://h" is not taken for a prefix
// of "http://host".
bool OnServer(std::string_view startUrl, const std::string& origin) {
  if (!StartsNoCase(startUrl, origin)) return false;
  if (startUrl.size() == origin.size()) return true;
  const char next = startUrl[origin.size()];
  return next == '/' || next == ':' || next == '?' || next == '#';
}

uint16_t KeptKindsFor(const TJobRecord& job) {
  uint16_t kinds = kKeepFrame | kKeepIFrame | kKeepA;
  if (job.checkLoadImg || job.checkRmtLoadImg) kinds |= kKeepImg;
  if (job.checkLoadEmbed) kinds |= kKeepEmbed;
  if (job.checkLoadStyle) kinds |= kKeepLink;
  if (job.checkLoadScript) kinds |= kKeepScript;
  return kinds;
}

}  // namespace

bool IsSupportedProtocol(std::string_view url) {
  static constexpr std::string_view kUnsupported[] = {
      "mailto:", "news:", "gopher:", "wais:", "file:", "javascript:", "ed2k:"};
  const std::string lower = AsciiLower(url);
  for (std::string_view scheme : kUnsupported) {
    if (lower.find(scheme) != std::string::npos) return false;
  }
  return true;
}

std::string LinkValue(const THTMLTag& tag) {
  if (tag.Params.empty()) return {};
  if (AsciiLower(tag.Params.front().Name) != "onclick") return tag.Params.front().Value;
  return tag.Params.size() > 1 ? tag.Params[1].Value : std::string();
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
  return TPageContext{page,
                      pageIndex,
                      lines,
                      parts.Proto,
                      HostWithPort(parts),
                      GetUrlDir(parts.Path),
                      GetUrlDir(page.StartUrl)};
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
  } else if (out.Link.empty() && onClick != nullptr) {
    script = std::string(WithoutReturn(onClick->Value));
  } else {
    return false;
  }
  if (script.empty() || !resolver_.RunScript(script)) return false;
  const TExecResultRec& result = resolver_.Result();
  if (TrimControls(result.Url).empty()) return false;
  out.Link = result.Url;
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

void TPageAnalysis::ApplyBase(const THTMLTag& tag, const std::string& link) {
  context_.PageDir = UrlDirWithSlash(link);
  // A base on another server moves the host too, or rooted links would
  // resolve against the page's own server.
  if (IsAbsolute(link)) {
    const TUrlParts parts = SplitUrl(link);
    context_.PageProto = parts.Proto;
    context_.PageHost = HostWithPort(parts);
  }
  UrlList& queue = target_.State.Queue;
  const int32_t index = queue.Find(context_.Page.Job.editUrl);
  if (index >= 0) queue.Rename(index, link);
  BlankBaseTag(context_, tag);
}

bool TPageAnalysis::MakeAbsolute(TLinkCandidate& out) {
  TRetriveRec& rec = out.Rec;
  TEntryJob& job = rec.Job;
  const std::string& link = out.Link;
  if (!IsAbsolute(link)) {
    job.editUrl = ResolveUrl(link, context_.PageProto, context_.PageHost, context_.PageDir);
    return true;
  }
  const TUrlParts parts = SplitUrl(link);
  const bool exploring = rules_ == TExtractionRules::Exploration;
  if (context_.Page.RemoteFlag == 0) {
    if (OnServer(rec.StartUrl, AsciiLower(parts.Proto + "://" + parts.Host))) {
      job.editUrl = link;
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
  rec.StartUrl = link;
  return true;
}

bool TPageAnalysis::BuildCandidate(const THTMLTag& tag, TLinkCandidate& out) {
  out = TLinkCandidate{};
  const TRetriveRec& page = context_.Page;
  const bool exploring = rules_ == TExtractionRules::Exploration;
  bool supported = true;
  try {
    if (tag.Params.empty()) return false;
    out.Link = LinkValue(tag);
    ResolveScript(tag, out);
    supported = IsSupportedProtocol(out.Link);
    // The exploration test lists unsupported links too, taken as written.
    if (!supported && !exploring) return false;
    if (supported && tag.Kind == kKindBase) {
      ApplyBase(tag, out.Link);
      return false;
    }
    if (supported && tag.Kind == kKindMeta) {
      const size_t eq = out.Link.find('=');
      if (eq == std::string::npos) return false;
      out.Link = std::string(TrimControls(std::string_view(out.Link).substr(eq + 1)));
    }
  } catch (const std::exception&) {
    // A tag whose script cannot be run is skipped; the page goes on.
    return false;
  }
  if (tag.Kind == kKindForm) {
    RewriteFormAction(context_, tag, out.Link);
    return false;
  }
  const size_t hash = out.Link.find('#');
  if (hash != std::string::npos) {
    out.Fragment = out.Link.substr(hash);
    out.Link.erase(hash);
  }
  // A link to the page itself ("#top", "") would otherwise resolve to the
  // page's directory and fetch an unrelated document. The exploration test
  // still lists a bare onclick handler, to tell why its script was not run.
  const bool handlerOnly = exploring && tag.FindParam("onclick");
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
  if (tag.Text != nullptr) rec.LinkedText = tag.Text->Text;
  if (!supported) {
    rec.Job.editUrl = out.Link;
    return true;
  }
  return MakeAbsolute(out);
}

void TPageAnalysis::ProcessTag(const THTMLTag& tag) {
  TLinkCandidate candidate;
  if (!BuildCandidate(tag, candidate)) return;
  TPageRef pageRef{context_.Page, context_.PageIndex, context_.StartDir};
  AdmitCandidate(candidate.Rec, pageRef, target_);
  if (!candidate.Rec.LocalFileName.empty()) {
    RewriteQueuedLink(context_, tag, candidate.Link, candidate.Fragment, candidate.ScriptResolved,
                      candidate.Rec.LocalFolder, candidate.Rec.LocalFileName);
  } else {
    RewriteUnqueuedLink(context_, tag, candidate.Link, candidate.Fragment);
  }
}

std::optional<std::string> ParsePage(std::vector<std::string>& lines, const TRetriveRec& page,
                                     int32_t pageIndex, TAnalysisTarget& target,
                                     ScriptResolver& resolver, THTMLParser& parser) {
  if (lines.empty()) return std::nullopt;
  const TJobRecord& job = page.Job.Settings();
  if (job.checkLoadStyle && IsStyleSheet(page, lines)) {
    return ParseStyleSheet(lines, page, pageIndex, target, resolver);
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
  try {
    for (const THTMLItem& item : parser.Items) {
      if (const THTMLTag* tag = AsTag(item)) analysis.ProcessTag(*tag);
    }
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!resolver.PageText().empty()) resolver.ClearPage();
  return error;
}

}  // namespace kestrix
