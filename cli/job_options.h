// The options that describe a job (they map one to one onto the job record)
// and the options that change the global options for one run only.
#pragma once

#include <span>
#include <string>

#include "cli/arguments.h"
#include "core/global_options.h"
#include "core/job_record.h"

namespace kestrix {

std::span<const OptionSpec> JobOptionSpecs();
std::span<const OptionSpec> RunOptionSpecs();

// Applies the job options given in `args` to `job`. Returns an error text for
// a value that does not fit (a depth that is not a number, both --this-path
// and --this-server), or an empty text.
std::string ApplyJobOptions(const ParsedArguments& args, TJobRecord& job);

// The job options that turn a default record into `job`, in the words of
// the command line ("--depth 3 --images --offline ...").
std::string JobOptionsText(const TJobRecord& job);

// Applies the run-only options to `options`; returns an error text or "".
std::string ApplyRunOptions(const ParsedArguments& args, TGlobalOptions& options);
// The part of it that sets how the run treats the sites: HTTP version,
// compression, cookies files, robots.txt and pacing.
std::string ApplyMannerOptions(const ParsedArguments& args, TGlobalOptions& options);

}  // namespace kestrix
