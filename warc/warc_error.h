// What went wrong with an archive, as a value: the front end words it.
#pragma once

#include <cstdint>
#include <string>

namespace kestrix {

enum class TWarcFailure : std::uint8_t {
  None,
  Create,  // a new archive or its index could not be created
  Write,   // writing a record failed (a full disk, most often)
  Spool,   // the temporary file holding an exchange failed
  Index,   // the index could not be written or sorted
};

struct TWarcError {
  TWarcFailure failure = TWarcFailure::None;
  int code = 0;      // errno
  std::string path;  // the file concerned
  explicit operator bool() const { return failure != TWarcFailure::None; }
};

}  // namespace kestrix
