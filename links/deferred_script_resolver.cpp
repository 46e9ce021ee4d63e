#include "links/deferred_script_resolver.h"

#include <utility>

#include "links/inert_script.h"

namespace kestrix {

DeferredScriptResolver::DeferredScriptResolver(Factory make) : make_(std::move(make)) {}

void DeferredScriptResolver::LoadPage(const std::string& text) {
  page_ = text;
  pageShown_ = false;
  lastRan_ = false;
}

bool DeferredScriptResolver::RunScript(const std::string& code) {
  lastRan_ = false;
  if (code.empty() || IsInertScript(code)) return false;
  if (!real_ && make_) {
    real_ = make_();
    make_ = nullptr;
  }
  if (!real_) return false;
  if (!pageShown_) {
    real_->LoadPage(page_);
    pageShown_ = true;
  }
  lastRan_ = true;
  return real_->RunScript(code);
}

void DeferredScriptResolver::ClearPage() {
  lastRan_ = false;
  if (pageShown_ && real_) real_->ClearPage();
  pageShown_ = false;
}

TCaptureKind DeferredScriptResolver::Kind() const {
  return lastRan_ ? real_->Kind() : TCaptureKind::Nothing;
}

const TExecResultRec& DeferredScriptResolver::Result() const {
  return lastRan_ ? real_->Result() : none_;
}

}  // namespace kestrix
