// What link extraction needs from whatever runs a page's link scripts: load
// the page once, run one link's script against it, read back where the page
// would have gone, and drop the page. The hidden browser implements it; until
// a job asks for scripts, a resolver that captures nothing stands in.
#pragma once

#include <string>

namespace kestrix {

// What the last script run captured.
struct TExecResultRec {
  std::string Url;     // the URL navigated to or opened, or the form's action
  std::string Method;  // the form's method
  std::string Value;   // the form's fields, encoded
};

enum class TCaptureKind : unsigned char { Nothing = 0, Url = 1, FormSubmit = 2 };

class ScriptResolver {
public:
  virtual ~ScriptResolver() = default;

  virtual void LoadPage(const std::string& text) = 0;
  // Runs `code` in the loaded page; true when something was captured.
  virtual bool RunScript(const std::string& code) = 0;
  virtual void ClearPage() = 0;

  // The page last loaded; clearing the page leaves it, so a non-empty text
  // tells that a page was loaded.
  virtual const std::string& PageText() const = 0;
  virtual TCaptureKind Kind() const = 0;
  virtual const TExecResultRec& Result() const = 0;
};

// Captures nothing; used when no job needs scripts resolved.
class NullScriptResolver final : public ScriptResolver {
public:
  void LoadPage(const std::string& text) override { page_ = text; }
  bool RunScript(const std::string&) override { return false; }
  void ClearPage() override {}
  const std::string& PageText() const override { return page_; }
  TCaptureKind Kind() const override { return TCaptureKind::Nothing; }
  const TExecResultRec& Result() const override { return result_; }

private:
  std::string page_;
  TExecResultRec result_;
};

}  // namespace kestrix
