// A private temporary folder for one test, removed with everything in it.
#pragma once

#include <string>

namespace kestrix::test {

class TScratchDir {
 public:
  TScratchDir();
  ~TScratchDir();
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;

  // Ends in "/".
  const std::string& Path() const { return path_; }
  // Writes `content` to Path() + `name`, creating folders on the way.
  std::string WriteFile(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

std::string ReadWholeFile(const std::string& path);

}  // namespace kestrix::test
