// Puts off the real script resolver until a link's code needs running. Most
// pages that hold a SCRIPT element have no link made by script, and most
// `javascript:` links of many sites are placeholders that go nowhere; only
// code that may lead somewhere makes the resolver (and with it a web engine)
// and loads the page into it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "links/script_resolver.h"

namespace kestrix {

class DeferredScriptResolver final : public ScriptResolver {
 public:
  using Factory = std::function<std::unique_ptr<ScriptResolver>()>;

  // `make` is called at most once; an empty function, or one that gives
  // nothing, leaves every script unresolved.
  explicit DeferredScriptResolver(Factory make);

  void LoadPage(const std::string& text) override;
  bool RunScript(const std::string& code) override;
  void ClearPage() override;

  const std::string& PageText() const override { return page_; }
  TCaptureKind Kind() const override;
  const TExecResultRec& Result() const override;

  // Whether the real resolver was made.
  bool Started() const { return real_ != nullptr; }

 private:
  Factory make_;
  std::unique_ptr<ScriptResolver> real_;
  std::string page_;
  bool pageShown_ = false;  // the real resolver holds page_
  bool lastRan_ = false;    // the last RunScript reached the real resolver
  TExecResultRec none_;
};

}  // namespace kestrix
