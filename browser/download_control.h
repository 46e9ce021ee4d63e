// Maps a download-control site onto a hosted page: what the option set says
// about images, scripts, frames, offline work, caching and "download only"
// becomes the page's settings and its request filter's rules.
#pragma once

class QWebEnginePage;

namespace kestrix {

class TEventObject;
class PageRequestFilter;

// Call before each navigation, as the option set may have changed. The filter
// is installed on the page and must outlive it; a sealed filter stays sealed.
void ApplyDownloadControl(const TEventObject& site, QWebEnginePage& page,
                          PageRequestFilter& filter);

}  // namespace kestrix
