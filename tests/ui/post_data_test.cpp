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

#include "tests/support/case_file.h"
#include "ui/post_data.h"
#include "ui/post_data_dialog.h"

namespace kestrix {
namespace {

// The tables of tests/fixtures/ui/post_data.txt.
TEST(PostData, ParamsAndRequestsComeBackAsGiven) {
  const auto params = test::ReadRows("ui/post_data.txt", "params");
  ASSERT_GE(params.size(), 8u);
  for (const auto& row : params) {
    SCOPED_TRACE(row[0]);
    const std::vector<TPostParam> rows = ParseParams(row[0]);
    EXPECT_EQ(std::to_string(rows.size()), row[1]);
    EXPECT_EQ(JoinParams(rows), row[2]);
    if (!rows.empty()) {
      EXPECT_EQ(rows[0].Name + "=" + rows[0].Value, row[3]);
    }
  }
  const auto requests = test::ReadRows("ui/post_data.txt", "request");
  ASSERT_GE(requests.size(), 4u);
  for (const auto& row : requests) {
    SCOPED_TRACE(row[0] + " " + row[1]);
    TPostData data;
    data.Setup(row[0], row[1], row[2] == "1");
    EXPECT_EQ(data.IsGet(), row[3] == "1");
    EXPECT_EQ(data.BaseUrl(), row[4]);
    EXPECT_EQ(data.Params(), row[5]);
    EXPECT_EQ(data.ResultUrl(), row[6]);
    EXPECT_EQ(data.ResultPostData(), row[7]);
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
}

}  // namespace
}  // namespace kestrix
