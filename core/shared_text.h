// Text that many queue entries hold alike, such as the start of the
// exploration zone every entry of a job carries: copies share one
// allocation, so a million entries cost one pointer pair each instead of a
// string each. The text never changes in place; assigning gives the holder
// new text and leaves the other copies as they were.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kestrix {

class SharedText {
 public:
  SharedText() = default;

  SharedText& operator=(std::string_view text) {
    text_ = text.empty() ? nullptr : std::make_shared<const std::string>(text);
    return *this;
  }
  SharedText& operator=(const char* text) { return *this = std::string_view(text); }
  SharedText& operator=(const std::string& text) { return *this = std::string_view(text); }

  const std::string& str() const { return text_ ? *text_ : Empty(); }
  operator const std::string&() const { return str(); }
  bool empty() const { return !text_; }
  bool operator==(std::string_view other) const { return str() == other; }

 private:
  static const std::string& Empty() {
    static const std::string empty;
    return empty;
  }

  std::shared_ptr<const std::string> text_;
};

}  // namespace kestrix
