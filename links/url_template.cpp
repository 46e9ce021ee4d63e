#include "links/url_template.h"

#include <cstdint>

namespace kestrix {
namespace {

// Numbers beyond this are not a plausible part of a URL series.
constexpr int64_t kMaxNumber = 999999999999;

struct TemplateError {};

int LetterClass(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return 1;
  if (c >= 'a' && c <= 'z') return 2;
  if (c >= 0xC0 && c <= 0xDF) return 3;
  if (c >= 0xE0) return 4;
  return 0;
}

enum class ValueType { None, Letter, Number };

// The item of the open group that has been read but not yet emitted. Every
// group starts with a fresh item, so "<1-3>x<5>" cannot read its second
// group as 15; separators outside a group are plain text.
struct PendingItem {
  ValueType type = ValueType::None;
  bool range = false;
  unsigned char fromLetter = 0;
  unsigned char toLetter = 0;
  int64_t from = -1;
  int64_t to = -1;
};

class Tokenizer {
 public:
  explicit Tokenizer(TToken& root) : current_(&root) {}

  void Run(const std::string& templ) {
    bool open = false;
    std::size_t literalStart = 0;
    bool anyGroup = false;
    for (std::size_t i = 0; i < templ.size(); ++i) {
      const auto c = static_cast<unsigned char>(templ[i]);
      if (c == '<') {
        if (open) continue;
        if (templ.find('>', i + 1) == std::string::npos) throw TemplateError{};
        open = anyGroup = true;
        current_ = TToken::Chain(*current_);
        current_->Prefix = templ.substr(literalStart, i - literalStart);
        item_ = {};
      } else if (c == '>') {
        if (!open) throw TemplateError{};
        Emit(true);
        open = false;
        literalStart = i + 1;
      } else if (!open) {
        continue;
      } else if (c == ',') {
        Emit(false);
      } else if (c == '-') {
        item_.range = true;
      } else if (c >= '0' && c <= '9') {
        item_.type = ValueType::Number;
        int64_t& n = item_.range ? item_.to : item_.from;
        n = (n < 0 ? 0 : n) * 10 + (c - '0');
        if (n > kMaxNumber) throw TemplateError{};
      } else if (LetterClass(c) != 0) {
        item_.type = ValueType::Letter;
        if (!item_.range) {
          item_.fromLetter = item_.toLetter = c;
        } else if (LetterClass(c) == LetterClass(item_.fromLetter)) {
          item_.toLetter = c;
        }
      } else if (c != ' ') {
        item_ = {};
      }
    }
    if (anyGroup && literalStart < templ.size()) {
      current_ = TToken::Chain(*current_);
      current_->Prefix = templ.substr(literalStart);
      Add(current_->Prefix);
    }
  }

 private:
  void Emit(bool closing) {
    const PendingItem item = item_;
    item_ = {};
    // A letter range without a first letter ("<-b>") stands for nothing.
    if (item.type == ValueType::Letter && item.fromLetter != 0) {
      const int step = item.fromLetter <= item.toLetter ? 1 : -1;
      for (int c = item.fromLetter;; c += step) {
        Add(current_->Prefix + static_cast<char>(c));
        if (c == item.toLetter) break;
      }
    } else if (item.type == ValueType::Number) {
      if (item.from >= 0 && item.to >= 0) {
        const int64_t step = item.from <= item.to ? 1 : -1;
        const int64_t count = (item.to - item.from) * step + 1;
        if (count > static_cast<int64_t>(kMaxTemplateUrls)) throw TemplateError{};
        for (int64_t n = item.from;; n += step) {
          Add(current_->Prefix + std::to_string(n));
          if (n == item.to) break;
        }
      } else if (item.from >= 0) {
        Add(current_->Prefix + std::to_string(item.from));
      } else if (item.to >= 0 && closing) {
        Add(current_->Prefix + std::to_string(item.to));
      }
    }
  }

  void Add(std::string value) {
    bytes_ += value.size();
    if (current_->Values.size() >= kMaxTemplateUrls || bytes_ > kMaxTemplateBytes) {
      throw TemplateError{};
    }
    current_->Values.push_back(std::move(value));
  }

  TToken* current_;
  PendingItem item_;
  std::size_t bytes_ = 0;
};

// Checks the limits before anything is produced: the number of URLs is the
// product of the groups' value counts, and each value of a group appears in
// (count / its group's size) of them.
bool WithinLimits(const TToken* first, std::size_t& count) {
  count = 1;
  for (const TToken* t = first; t; t = t->Child.get()) {
    if (t->Values.empty()) {
      count = 0;
      return true;
    }
    if (count > kMaxTemplateUrls / t->Values.size()) return false;
    count *= t->Values.size();
  }
  std::size_t bytes = 0;
  for (const TToken* t = first; t; t = t->Child.get()) {
    std::size_t groupBytes = 0;
    for (const std::string& v : t->Values) groupBytes += v.size();
    const std::size_t repeats = count / t->Values.size();
    if (groupBytes > kMaxTemplateBytes || repeats > kMaxTemplateBytes / (groupBytes + 1)) {
      return false;
    }
    bytes += groupBytes * repeats;
    if (bytes > kMaxTemplateBytes) return false;
  }
  return true;
}

}  // namespace

TToken::~TToken() {
  std::unique_ptr<TToken> next = std::move(Child);
  while (next) next = std::move(next->Child);
}

TToken* TToken::Chain(TToken& parent) {
  parent.Child = std::make_unique<TToken>();
  parent.Child->Parent = &parent;
  return parent.Child.get();
}

void ExpandUrlTemplate(const std::string& templ, std::vector<std::string>& out) {
  TToken root;  // holds the chain; the first group is its child
  try {
    Tokenizer(root).Run(templ);
  } catch (const TemplateError&) {
    out.clear();
    return;
  }
  const TToken* first = root.Child.get();
  if (!first) return;
  std::size_t count = 0;
  if (!WithinLimits(first, count)) {
    out.clear();
    return;
  }
  if (count == 0) return;

  // An odometer over the chain: the last group turns fastest.
  std::vector<const TToken*> chain;
  for (const TToken* t = first; t; t = t->Child.get()) chain.push_back(t);
  std::vector<std::size_t> index(chain.size(), 0);
  out.reserve(out.size() + count);
  for (std::size_t produced = 0; produced < count; ++produced) {
    std::string url;
    for (std::size_t k = 0; k < chain.size(); ++k) url += chain[k]->Values[index[k]];
    out.push_back(std::move(url));
    for (std::size_t k = chain.size(); k-- > 0;) {
      if (++index[k] < chain[k]->Values.size()) break;
      index[k] = 0;
    }
  }
}

}  // namespace kestrix
