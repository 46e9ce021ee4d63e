// The edit of saved pages when a run ends: local links to files that failed
// to come (a 404, a refused connection, an error, a cap) become the files'
// URLs when the page's job replaces unretrieved links by URLs, and links
// to files that came under another name than the one given when they were
// queued take the new name. Only pages that link to such a file are read
// and written again, each once, in one atomic step.
#pragma once

#include <cstdint>

#include "engine/engine_observer.h"

namespace kestrix {

class TLinkBook;
class UrlList;

// Mends the pages of `queue` that `book` says link to a failed or renamed
// entry. Pages the book does not know yet (saved by an earlier run, before
// the queue came back from the history file) are read once for their local
// links first. The renames are then done with; failed entries stay known,
// so that a page saved later is mended too.
TLinkMending MendSavedLinks(const UrlList& queue, TLinkBook& book);

// Tells `book` which entries of a queue loaded from the history failed in an
// earlier run and left no file: a page analysed again later still links to
// their files, and is mended like a page of the run they failed in.
void NoteEarlierFailures(const UrlList& queue, TLinkBook& book);

}  // namespace kestrix
