// warc-list: a quick look at a web archive, one line per record.
#include <iostream>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "warc/warc_reader.h"

namespace kestrix {

int RunWarcList(const ParsedArguments& args) {
  const std::string& path = args.positional.front();
  TWarcReader reader(path);
  int records = 0;
  while (std::optional<TWarcRecordInfo> record = reader.Next()) {
    ++records;
    std::cout << record->type << '\t' << (record->targetUri.empty() ? "-" : record->targetUri)
              << '\t' << (record->httpStatus > 0 ? std::to_string(record->httpStatus) : "-") << '\t'
              << record->contentLength << '\n';
  }
  std::cout << std::flush;
  const std::string where = " after " + std::to_string(records) + " whole records (at byte " +
                            std::to_string(reader.WholeEnd()) + ")";
  std::string error;
  switch (reader.End()) {
    case TWarcEnd::Clean:
      if (records > 0) return kExitOk;
      error = "holds no web archive records";
      break;
    case TWarcEnd::CutShort:
      error = "is cut short" + where;
      break;
    case TWarcEnd::Damaged:
      error = records == 0 ? "is not a web archive" : "is damaged" + where;
      break;
    case TWarcEnd::Unreadable:
      error = "cannot be read";
      break;
  }
  std::cerr << "kestrix-cli warc-list: " << path << " " << error << "\n";
  return kExitFailure;
}

}  // namespace kestrix
