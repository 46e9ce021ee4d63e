#include "cli/cli_session.h"

#include <iostream>

#include "core/app_paths.h"

namespace kestrix {

void ReportError(const std::string& text) {
  std::cerr << "kestrix-cli: " << text << "\n";
}

CliSession::CliSession() : ini_(SharedSettingsFile()) {
  store_ = std::make_unique<TJobList>(ini_);
  for (const std::string& problem : store_->LoadErrors()) ReportError("warning: " + problem);
  options_ = ReadOptions(ini_, DefaultDownloadFolder(ProcessEnv));
}

bool CliSession::ResolveProject(std::string& name) const {
  int index = store_->FindProject(name);
  if (index < 0) {
    ReportError("there is no project called \"" + name + "\" ('kestrix-cli projects' lists them)");
    return false;
  }
  name = store_->Projects()[static_cast<size_t>(index)].Name;
  return true;
}

bool CliSession::SaveSettings(bool withOptions) {
  const bool saved = ini_.Update([this, withOptions](IniDocument& doc) {
    return store_->SaveTo(doc) && (!withOptions || WriteOptions(doc, options_));
  });
  if (!saved) ReportError("cannot write the settings file " + ini_.Path());
  return saved;
}

}  // namespace kestrix
