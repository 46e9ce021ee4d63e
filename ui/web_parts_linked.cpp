// The web parts of a program that links them: the tests and the tools built
// beside them.
#include "ui/web_parts.h"

namespace kestrix {

const WebParts* TheWebParts(QString*) {
  return &LinkedWebParts();
}

}  // namespace kestrix
