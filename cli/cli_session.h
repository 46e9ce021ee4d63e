// What every command works on: the settings file shared with the desktop
// program, the store of projects and jobs loaded from it, and the global
// options. Built in the order the program starts up; the store and the
// options reach the file only when the command asks for it.
#pragma once

#include <memory>
#include <string>

#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/job_list.h"

namespace kestrix {

class CliSession {
 public:
  // Finds the settings file (KESTRIX_SETTINGS overrides the usual place),
  // loads the store and reads the options. Problems met while loading the
  // store are printed on stderr as warnings.
  CliSession();

  IniFile& Ini() { return ini_; }
  TJobList& Store() { return *store_; }
  TGlobalOptions& Options() { return options_; }
  const std::string& SettingsPath() const { return ini_.Path(); }

  // Prints the error and returns false when the project does not exist;
  // otherwise sets `name` to the stored spelling of the project's name.
  bool ResolveProject(std::string& name) const;

  // Writes the store back, and the options too when `withOptions` is set,
  // in one replace of the file; prints the reason and returns false on
  // failure.
  bool SaveSettings(bool withOptions);

 private:
  IniFile ini_;
  std::unique_ptr<TJobList> store_;
  TGlobalOptions options_;
};

// Prints "kestrix-cli: <text>" on stderr.
void ReportError(const std::string& text);

}  // namespace kestrix
