// Text that many queue entries hold alike, such as the start of the
// exploration zone every entry of a job carries, or the local folder of the
// files of one site folder: copies share one allocation, so a million
// entries cost one pointer pair each instead of a string each. The text
// never changes in place; assigning gives the holder new text and leaves the
// other copies as they were.
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
  SharedText& operator=(std::string&& text) {
    text_ = text.empty() ? nullptr : std::make_shared<const std::string>(std::move(text));
    return *this;
  }
  SharedText& operator=(const char* text) { return *this = std::string_view(text); }
  SharedText& operator=(const std::string& text) { return *this = std::string_view(text); }
  SharedText& operator+=(std::string_view more) { return *this = str() + std::string(more); }
  SharedText& operator+=(char more) { return *this = str() + more; }

  const std::string& str() const { return text_ ? *text_ : Empty(); }
  operator const std::string&() const { return str(); }
  operator std::string_view() const { return str(); }
  bool empty() const { return !text_; }
  std::size_t size() const { return str().size(); }
  std::size_t find(std::string_view what, std::size_t from = 0) const {
    return str().find(what, from);
  }
  std::size_t find(char what, std::size_t from = 0) const { return str().find(what, from); }
  bool starts_with(std::string_view prefix) const { return str().starts_with(prefix); }
  bool ends_with(std::string_view suffix) const { return str().ends_with(suffix); }
  bool ends_with(char suffix) const { return str().ends_with(suffix); }
  bool operator==(std::string_view other) const { return str() == other; }
  bool operator==(const SharedText& other) const {
    return text_ == other.text_ || str() == other.str();
  }
  // Whether both hold the very same allocation (or are both empty).
  bool SharesWith(const SharedText& other) const { return text_ == other.text_; }

 private:
  static const std::string& Empty() {
    static const std::string empty;
    return empty;
  }

  std::shared_ptr<const std::string> text_;
};

// A path is mostly built from a folder and a name.
inline std::string operator+(const SharedText& a, std::string_view b) {
  std::string joined;
  joined.reserve(a.size() + b.size());
  joined += a.str();
  joined += b;
  return joined;
}
inline std::string operator+(const SharedText& a, const std::string& b) {
  return a + std::string_view(b);
}
inline std::string operator+(const SharedText& a, const char* b) {
  return a + std::string_view(b);
}
inline std::string operator+(const SharedText& a, const SharedText& b) {
  return a + std::string_view(b.str());
}
inline std::string operator+(const std::string& a, const SharedText& b) {
  return a + b.str();
}
inline std::string operator+(const char* a, const SharedText& b) {
  return a + b.str();
}

}  // namespace kestrix
