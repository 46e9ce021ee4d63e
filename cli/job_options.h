// The options that describe a job (they map one to one onto the job record)
// and the options that change the global options for one run only.
#pragma once

#include <span>
#include <string>

#include "cli/arguments.h"
#include "core/global_options.h"
#include "core/job_record.h"
#include "engine/warc_tap.h"

namespace kestrix {

std::span<const OptionSpec> JobOptionSpecs();
std::span<const OptionSpec> RunOptionSpecs();
// The options that switch off what `mirror` does by default.
std::span<const OptionSpec> MirrorOptionSpecs();
// The web archive of one run (--warc FILE, --warc-max-size).
std::span<const OptionSpec> WarcOptionSpecs();

// The job `mirror` starts from: a complete copy to browse offline, the
// whole starting path at any depth (the greatest a job may have) with images, style sheets,
// embedded objects, offline links, links to what was not saved pointing to the web, and the site's
// folders.
TJobRecord MirrorJobDefaults();
// Applies the --no-... options of `mirror` to `job`; an error text when one
// is given with the option it contradicts, or "".
std::string ApplyMirrorOptions(const ParsedArguments& args, TJobRecord& job);

// Applies the job options given in `args` to `job`. Returns an error text for
// a value that does not fit (a depth that is not a number, both --this-path
// and --this-server), or an empty text.
std::string ApplyJobOptions(const ParsedArguments& args, TJobRecord& job);

// The job options that turn a default record into `job`, in the words of
// the command line ("--depth 3 --images --offline ...").
std::string JobOptionsText(const TJobRecord& job);

// Applies the run-only options to `options`; returns an error text or "".
std::string ApplyRunOptions(const ParsedArguments& args, TGlobalOptions& options);
// Applies --warc and --warc-max-size to `request`; returns an error text or "".
std::string ApplyWarcOptions(const ParsedArguments& args, TWarcRunRequest& request);
// The part of it that sets how the run treats the sites: HTTP version,
// compression, cookies files, robots.txt and pacing.
std::string ApplyMannerOptions(const ParsedArguments& args, TGlobalOptions& options);

}  // namespace kestrix
