// Which replies are pages: those the worker hands to link analysis.
#pragma once

#include <string>

namespace kestrix {

// Whether a reply of this content type is a page to analyse.
bool IsHtmlType(const std::string& contentType);

}  // namespace kestrix
