// A dialog provider that answers "not available" to every request, for a
// build that has no dialog forms yet: the window then simply changes
// nothing.
#pragma once

#include "ui/dialog_provider.h"

namespace kestrix {

class UnavailableDialogs final : public DialogProvider {
 public:
  bool EditJob(QWidget*, TJobRecord&, bool) override { return false; }
  bool EditOptions(QWidget*, TGlobalOptions&) override { return false; }
  bool AskProjectName(QWidget*, const std::vector<std::string>&, std::string&) override {
    return false;
  }
  bool EditProjectList(QWidget*, const TGlobalOptions&, std::vector<TProject>&) override {
    return false;
  }
};

}  // namespace kestrix
