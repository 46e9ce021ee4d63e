// What the post data editor edits: the URL a form was submitted to, its
// method and its parameters, both as one "name=value&..." text and as a list
// of pairs that can be ticked in or out. No widgets here, so the rules of the
// two views and the request they give back can be checked on their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

struct TPostParam {
  std::string Name;
  std::string Value;
  // Written with "=": a bare word such as "x" stays "x", not "x=".
  bool HasEquals = true;
  bool Ticked = true;
};

// The pairs of a parameter text. Only the first "=" of a pair ends its name,
// so "a=b=c" is the name "a" with the value "b=c"; empty pairs are dropped.
std::vector<TPostParam> ParseParams(std::string_view text);
// The ticked pairs joined by "&".
std::string JoinParams(const std::vector<TPostParam>& params);
// The URL hint: a line break every 100 characters of a longer text.
std::string WrappedHint(const std::string& text);

class TPostData {
 public:
  // `posted` says the form went out as a POST, even with an empty body: its
  // URL is then kept whole, query and all, and stays a POST. Otherwise the
  // query of the URL is the parameter text and the request is a GET.
  // `multipart`: the form asked for its fields as multipart/form-data.
  void Setup(const std::string& url, const std::string& postData, bool posted,
             bool multipart = false);
  // Back to the URL given at set-up; a POST keeps the current parameters.
  void Undo();

  // Method switches.
  void SetGet(bool get);
  // The raw text was edited: the list follows it.
  void SetParamsText(const std::string& text);
  // A row was ticked or edited: the text follows the list.
  void SetTicked(int row, bool ticked);
  void SetName(int row, const std::string& name);
  void SetValue(int row, const std::string& value);

  const std::string& SetupUrl() const { return setupUrl_; }
  const std::string& BaseUrl() const { return baseUrl_; }
  const std::string& Params() const { return params_; }
  bool IsGet() const { return isGet_; }
  const std::vector<TPostParam>& Rows() const { return rows_; }
  int ItemCount() const { return static_cast<int>(rows_.size()); }

  // The request URL as shown while editing, and the request the editor
  // gives back.
  std::string ShownUrl() const;
  std::string ResultUrl() const { return ShownUrl(); }
  std::string ResultPostData() const { return isGet_ ? std::string() : params_; }
  // Whether the fields go out as multipart/form-data: a POST of a form that
  // asked for it.
  bool ResultMultipart() const { return multipart_ && !isGet_; }
  // The type the request's body is sent as; empty for a GET.
  std::string ResultContentType() const;

 private:
  void SeparateQuery(const std::string& url);
  void RebuildParams();

  std::string setupUrl_;
  std::string baseUrl_;
  std::string params_;
  bool posted_ = false;
  bool multipart_ = false;
  bool isGet_ = false;
  std::vector<TPostParam> rows_;
};

}  // namespace kestrix
