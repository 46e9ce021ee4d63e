// The post data editor's model and its widgets: what the list, the raw text
// and the method switches make of a submitted form, and what request comes
// back out.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <tuple>

#include "ui/post_data.h"
#include "ui/post_data_dialog.h"

namespace kestrix {
namespace {

TEST(PostData, ParameterTextsRoundTripUnchanged) {
  const struct {
    const char* text;
    int rows;
    const char* joined;  // what the list gives back
  } cases[] = {
      {"a=1&b=2", 2, "a=1&b=2"},
      {"a=b=c", 1, "a=b=c"},  // only the first "=" ends the name
      {"x", 1, "x"},          // a bare word stays bare
      {"x&y=", 2, "x&y="},
      {"=v&n=", 2, "=v&n="},
      {"a=1&", 1, "a=1"},  // a trailing "&" adds no empty row
      {"a=1&&b=%26", 2, "a=1&b=%26"},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::vector<TPostParam> rows = ParseParams(c.text);
    EXPECT_EQ(static_cast<int>(rows.size()), c.rows);
    EXPECT_EQ(JoinParams(rows), c.joined);
  }
  for (const auto& [text, name, value] :
       {std::tuple{"x", "x", ""}, std::tuple{"a=b=c", "a", "b=c"}}) {
    const TPostParam first = ParseParams(text)[0];
    EXPECT_EQ(first.Name + "|" + first.Value, std::string(name) + "|" + value) << text;
  }
}

TEST(PostData, RequestsComeBackAsGiven) {
  const struct {
    const char* url;
    const char* body;
    bool posted;
    bool get;
    const char* base;
    const char* params;
    const char* result_url;
    const char* result_body;
  } cases[] = {
      {"http://h/p", "a=1&b=2", true, false, "http://h/p", "a=1&b=2", "http://h/p", "a=1&b=2"},
      {"http://h/p?x=1", "", false, true, "http://h/p", "x=1", "http://h/p?x=1", ""},
      // A POST to an action with a query keeps both and stays a POST.
      {"http://h/p?q=1", "a=b=c&x", true, false, "http://h/p?q=1", "a=b=c&x", "http://h/p?q=1",
       "a=b=c&x"},
      {"http://h/p?q=1", "", true, false, "http://h/p?q=1", "", "http://h/p?q=1", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    TPostData data;
    data.Setup(c.url, c.body, c.posted);
    EXPECT_EQ(data.IsGet(), c.get);
    EXPECT_EQ(data.BaseUrl(), c.base);
    EXPECT_EQ(data.Params(), c.params);
    EXPECT_EQ(data.ResultUrl(), c.result_url);
    EXPECT_EQ(data.ResultPostData(), c.result_body);
  }
}

TEST(PostData, EditsFollowEachOther) {
  TPostData data;
  data.Setup("http://h/p?q=1", "a=1&b=2", true, true);  // a multipart form
  EXPECT_EQ(data.ResultContentType(), "multipart/form-data");
  data.SetTicked(0, false);
  EXPECT_EQ(data.Params(), "b=2");
  data.SetTicked(0, true);
  data.SetTicked(1, false);
  EXPECT_EQ(data.Params(), "a=1");  // no "&" left behind an unticked last row
  data.SetTicked(1, true);
  data.SetValue(1, "two");
  EXPECT_EQ(data.Params(), "a=1&b=two");
  data.SetGet(true);
  EXPECT_EQ(data.ResultUrl(), "http://h/p?q=1&a=1&b=two");
  EXPECT_EQ(data.ResultPostData(), "");
  EXPECT_FALSE(data.ResultMultipart());
  data.SetParamsText("z=9");
  EXPECT_EQ(data.ItemCount(), 1);
  EXPECT_EQ(data.ResultUrl(), "http://h/p?q=1&z=9");
  data.Undo();  // a POST keeps what was edited
  EXPECT_FALSE(data.IsGet());
  EXPECT_EQ(data.ResultPostData(), "z=9");
  EXPECT_TRUE(data.ResultMultipart());

  TPostData get;
  get.Setup("http://h/s?x=1", "", false);
  get.SetParamsText("x=2");
  get.Undo();  // a GET goes back to the query it came with
  EXPECT_EQ(get.ResultUrl(), "http://h/s?x=1");
  get.SetGet(false);
  EXPECT_EQ(get.ResultUrl(), "http://h/s");
  EXPECT_EQ(get.ResultPostData(), "x=1");
}

TEST(PostDataDialog, ListTextAndMethodStayInStep) {
  TfmPostData dialog;
  dialog.Setup("http://h/p", "a=1&b=2", true);
  EXPECT_TRUE(dialog.rbPost->isChecked());
  dialog.grd->item(0, 0)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(dialog.mmParams->toPlainText(), QStringLiteral("b=2"));
  dialog.grd->item(1, 2)->setText(QStringLiteral("3"));
  EXPECT_EQ(dialog.mmParams->toPlainText(), QStringLiteral("b=3"));

  dialog.rbGet->click();
  EXPECT_EQ(dialog.edUrl->text(), QStringLiteral("http://h/p?b=3"));
  EXPECT_EQ(dialog.ResultPostData(), "");

  // Typing into the raw text rebuilds the list.
  dialog.show();
  dialog.mmParams->setFocus();
  dialog.mmParams->selectAll();
  QTest::keyClicks(dialog.mmParams, QStringLiteral("k=v&w"));
  EXPECT_EQ(dialog.grd->rowCount(), 2);
  EXPECT_EQ(dialog.grd->item(1, 1)->text(), QStringLiteral("w"));
  EXPECT_EQ(dialog.ResultUrl(), "http://h/p?k=v&w");

  dialog.btnUndo->click();
  EXPECT_TRUE(dialog.rbPost->isChecked());
  EXPECT_EQ(dialog.edUrl->text(), QStringLiteral("http://h/p"));
  EXPECT_EQ(dialog.ResultPostData(), "k=v&w");

  const struct {
    QPushButton* button;
    int result;
  } closes[] = {{dialog.btnDownLoad, QDialog::Accepted},
                {dialog.btnView, TfmPostData::kViewResult},
                {dialog.btnCancel, QDialog::Rejected}};
  for (const auto& c : closes) {
    dialog.show();
    c.button->click();
    EXPECT_EQ(dialog.result(), c.result);
  }
}

}  // namespace
}  // namespace kestrix
