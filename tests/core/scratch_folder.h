// The scratch folder helpers of tests/support under the names some test
// programs still use.
#pragma once

#include "tests/support/scratch_dir.h"

namespace kestrix::testing {

using ScratchFolder = test::TScratchDir;
using test::FakeEnv;
using test::WriteFile;
inline std::string ReadFile(const std::string& path) {
  return test::ReadWholeFile(path);
}

}  // namespace kestrix::testing
