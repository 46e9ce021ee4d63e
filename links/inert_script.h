// Link code that can be seen, without running it, to lead nowhere:
// `javascript:void(0)` placeholders and steps back or forward in the
// history. Sites put them on many links; recognising them spares starting a
// web engine for a site whose script links are all such placeholders.
#pragma once

#include <string_view>

namespace kestrix {

// True when every statement of `code` is one that neither navigates to a
// new address, nor opens a window, nor submits a form.
bool IsInertScript(std::string_view code);

}  // namespace kestrix
