#include "ui/post_data.h"

#include "http/http_client.h"

namespace kestrix {

std::vector<TPostParam> ParseParams(std::string_view text) {
  std::vector<TPostParam> params;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view pair = text.substr(start, end - start);
    if (!pair.empty()) {
      TPostParam param;
      const std::size_t equals = pair.find('=');
      param.HasEquals = equals != std::string_view::npos;
      param.Name = std::string(pair.substr(0, equals));
      if (param.HasEquals) param.Value = std::string(pair.substr(equals + 1));
      // A lone "=" names nothing and carries nothing.
      if (!param.Name.empty() || !param.Value.empty()) params.push_back(std::move(param));
    }
    start = end + 1;
  }
  return params;
}

std::string JoinParams(const std::vector<TPostParam>& params) {
  std::string text;
  bool first = true;
  for (const TPostParam& param : params) {
    if (!param.Ticked) continue;
    if (!first) text += '&';
    first = false;
    text += param.Name;
    if (param.HasEquals || !param.Value.empty()) text += '=' + param.Value;
  }
  return text;
}

std::string WrappedHint(const std::string& text) {
  constexpr std::size_t kLine = 100;
  if (text.size() <= kLine) return text;
  std::string hint;
  for (std::size_t pos = 0; pos < text.size(); pos += kLine) {
    // A line feed: a carriage return alone is drawn as a blank, not a break.
    if (pos > 0) hint += '\n';
    hint += text.substr(pos, kLine);
  }
  return hint;
}

void TPostData::Setup(const std::string& url, const std::string& postData, bool posted,
                      bool multipart) {
  setupUrl_ = url;
  posted_ = posted;
  multipart_ = multipart;
  params_ = postData;
  SeparateQuery(url);
  rows_ = ParseParams(params_);
}

void TPostData::Undo() {
  SeparateQuery(setupUrl_);
  rows_ = ParseParams(params_);
}

void TPostData::SeparateQuery(const std::string& url) {
  isGet_ = false;
  baseUrl_ = url;
  if (posted_ || url.empty()) return;
  const std::size_t question = url.find('?');
  if (question != std::string::npos && question > 0) {
    params_ = url.substr(question + 1);
    baseUrl_ = url.substr(0, question);
    isGet_ = true;
  }
}

std::string TPostData::ResultContentType() const {
  if (isGet_) return {};
  return ResultMultipart() ? "multipart/form-data" : kFormUrlEncoded;
}

void TPostData::SetGet(bool get) {
  isGet_ = get;
}

void TPostData::SetParamsText(const std::string& text) {
  params_ = text;
  rows_ = ParseParams(text);
}

void TPostData::SetTicked(int row, bool ticked) {
  rows_.at(static_cast<std::size_t>(row)).Ticked = ticked;
  RebuildParams();
}

void TPostData::SetName(int row, const std::string& name) {
  rows_.at(static_cast<std::size_t>(row)).Name = name;
  RebuildParams();
}

void TPostData::SetValue(int row, const std::string& value) {
  rows_.at(static_cast<std::size_t>(row)).Value = value;
  RebuildParams();
}

void TPostData::RebuildParams() {
  params_ = JoinParams(rows_);
}

std::string TPostData::ShownUrl() const {
  if (!isGet_) return baseUrl_;
  // The action of a POST may carry a query of its own; the parameters of a
  // GET made from it go after that query.
  const char joint = baseUrl_.find('?') == std::string::npos ? '?' : '&';
  return baseUrl_ + joint + params_;
}

}  // namespace kestrix
