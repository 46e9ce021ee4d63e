// Forms submitted inside the preview, against a loopback server that logs
// every request with its body.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "browser/preview_page.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"
#include "tests/ui/preview_fixture.h"

namespace kestrix {
namespace {

using test::TFaultServer;

class PreviewFormTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()) << server_.Error(); }

  std::string Url(const std::string& path) const { return server_.BaseUrl() + path; }
  int Posts() const {
    int posts = 0;
    for (const test::TRecordedRequest& r : server_.Requests()) {
      if (r.RequestLine.rfind("POST ", 0) == 0) ++posts;
    }
    return posts;
  }
  // Submits the form (with its button unless told) and waits until an
  // editor was shown.
  bool SubmitForm(const char* script = "document.getElementById('send').click(); 1") {
    const std::size_t before = f_.Editors.size();
    f_.RunInPage(QString::fromLatin1(script));
    return test::RunUntil([&] { return f_.Editors.size() > before; }, 5000);
  }

  TFaultServer server_{
      test::ReadWholeFile(KESTRIX_SOURCE_DIR "/tests/fixtures/scenarios/preview_forms.json")};
  test::TPreviewFixture f_;
};

TEST_F(PreviewFormTest, SubmitOpensTheEditorCancelKeepsThePageAndDownloadQueuesIt) {
  ASSERT_TRUE(f_.PreviewLive(Url("/form.htm")));
  EXPECT_TRUE(f_.Pane->PreviewMode);
  EXPECT_EQ(f_.Pane->edNavigate->text().toStdString(), Url("/form.htm"));
  EXPECT_EQ(f_.Host.pages, std::vector<std::string>{"View"});
  f_.Answer = [](TfmPostData& e) { return e.btnCancel; };
  ASSERT_TRUE(SubmitForm());
  EXPECT_EQ(f_.Editors[0].Url, Url("/post?q=1"));
  EXPECT_FALSE(f_.Editors[0].Get);
  EXPECT_EQ(f_.Editors[0].Params, "a=1&b=x+y&go=Go");
  EXPECT_EQ(f_.Editors[0].Rows, 3);
  test::RunFor(500);
  EXPECT_EQ(f_.PageUrl(), Url("/form.htm"));
  EXPECT_EQ(Posts(), 0);

  // A page that closes its window stays where it is.
  f_.RunInPage(QStringLiteral("window.close(); 1"));
  test::RunFor(200);
  EXPECT_TRUE(f_.Pane->isVisible());
  EXPECT_EQ(f_.RunInPage(QStringLiteral("document.title")), QStringLiteral("form"));

  // Download queues one POST entry, once.
  f_.Answer = [](TfmPostData& e) { return e.btnDownLoad; };
  ASSERT_TRUE(SubmitForm());
  test::RunUntil([&] { return !f_.Host.pages.empty() || !f_.Messages.empty(); }, 3000);
  ASSERT_EQ(f_.State.Queue.Count(), 1);
  const TRetriveRec& entry = f_.State.Queue.Entry(0);
  EXPECT_EQ(entry.Job.editUrl, Url("/post?q=1"));
  EXPECT_EQ(entry.RequestMethod, 2);
  EXPECT_EQ(entry.PostData, "a=1&b=x+y&go=Go");
  EXPECT_EQ(f_.Host.pages.back(), "Queue");
  EXPECT_TRUE(f_.Messages.empty());
  EXPECT_EQ(f_.PageUrl(), Url("/form.htm"));

  ASSERT_TRUE(SubmitForm());
  test::RunUntil([&] { return !f_.Messages.empty(); }, 3000);
  EXPECT_EQ(f_.State.Queue.Count(), 1);
  ASSERT_EQ(f_.Messages.size(), 1u);
  EXPECT_TRUE(f_.Messages[0].endsWith(QStringLiteral("already in the queue")));

  // A GET form opens the editor with its query as the parameters.
  ASSERT_TRUE(f_.PreviewLive(Url("/get.htm")));
  ASSERT_TRUE(SubmitForm("document.getElementById('f').submit(); 1"));
  EXPECT_TRUE(f_.Editors.back().Get);
  EXPECT_EQ(f_.Editors.back().Url, Url("/find?w=k"));
}

TEST_F(PreviewFormTest, ViewPostsTheSameBytesAndHistoryStepsOpenNoEditor) {
  ASSERT_TRUE(f_.PreviewLive(Url("/form.htm")));
  f_.Answer = [](TfmPostData& e) { return e.btnView; };
  ASSERT_TRUE(SubmitForm());
  ASSERT_TRUE(f_.WaitForLoad("/post"));
  EXPECT_EQ(f_.RunInPage(QStringLiteral("document.title")), QStringLiteral("posted"));
  ASSERT_EQ(Posts(), 1);
  for (const test::TRecordedRequest& r : server_.Requests()) {
    if (r.RequestLine.rfind("POST ", 0) != 0) continue;
    EXPECT_EQ(r.RequestLine.substr(0, 16), "POST /post?q=1 H");
    EXPECT_EQ(r.Body, "a=1&b=x+y&go=Go");
    EXPECT_EQ(r.Header("Content-Type"), "application/x-www-form-urlencoded");
  }

  // Back to the form, forward to the posted page, back again: no editor.
  f_.Answer = [](TfmPostData& e) { return e.btnCancel; };
  ASSERT_TRUE(test::RunUntil([&] { return f_.Pane->btnBack->isEnabled(); }, 3000));
  f_.Pane->btnBack->click();
  ASSERT_TRUE(f_.WaitForLoad("/form.htm"));
  ASSERT_TRUE(test::RunUntil([&] { return f_.Pane->btnForward->isEnabled(); }, 3000));
  f_.Pane->btnForward->click();
  ASSERT_TRUE(f_.WaitForLoad("/post"));
  f_.Pane->btnBack->click();
  ASSERT_TRUE(f_.WaitForLoad("/form.htm"));
  test::RunFor(300);
  EXPECT_EQ(f_.Editors.size(), 1u);

  // A plain link is followed without the editor.
  f_.RunInPage(QStringLiteral("document.getElementById('next').click(); 1"));
  ASSERT_TRUE(f_.WaitForLoad("/other.htm"));
  EXPECT_EQ(f_.Editors.size(), 1u);

  // A multipart form is viewed, and downloaded, as multipart, not as a
  // urlencoded body.
  for (QPushButton* TfmPostData::*button : {&TfmPostData::btnView, &TfmPostData::btnDownLoad}) {
    ASSERT_TRUE(f_.PreviewLive(Url("/multi.htm")));
    const int posts = Posts();
    f_.Answer = [button](TfmPostData& e) { return e.*button; };
    ASSERT_TRUE(SubmitForm());
    ASSERT_TRUE(test::RunUntil([&] { return Posts() == posts + 1; }, 10000));
    if (button == &TfmPostData::btnView) {
      ASSERT_TRUE(f_.WaitForLoad("/post"));
    }
    const test::TRecordedRequest sent = server_.Requests().back();
    const std::string type = sent.Header("Content-Type");
    const std::string prefix = "multipart/form-data; boundary=";
    ASSERT_EQ(type.substr(0, prefix.size()), prefix);
    const std::string boundary = type.substr(prefix.size());
    EXPECT_EQ(sent.Body, "--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx y&z\r\n--" +
                             boundary + "--\r\n");
  }
  EXPECT_EQ(f_.Editors.back().Encoding, "multipart/form-data");
}

// Offline, nothing reaches a server, and the user is told why nothing shows.
TEST_F(PreviewFormTest, OfflinePreviewReachesNoServerAndSaysSo) {
  f_.Offline.SetGlobalOffline(true);
  f_.SetJob(Url("/form.htm"));
  ASSERT_TRUE(f_.Pane->PreviewStartingPage(test::kPreviewProject, 1));
  test::RunFor(800);
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_NE(f_.PageUrl(), Url("/form.htm"));
  EXPECT_EQ(f_.Host.pages, std::vector<std::string>{"View"});
  ASSERT_EQ(f_.Messages.size(), 1u);
  EXPECT_TRUE(f_.Messages[0].startsWith(QStringLiteral("\"Work Offline\" is on")));

  // A saved page is shown offline even while the program is online.
  f_.Offline.SetGlobalOffline(false);
  f_.Dir.WriteFile("downloads/site/p.htm",
                   "<html><body><img src='" + Url("/img.png") + "'><iframe src='" +
                       Url("/other.htm") + "'></iframe><script>fetch('" + Url("/f") +
                       "');</script><form method='post' action='" + Url("/post") +
                       "'><input name='s' value='1'><input type='submit' id='send'></form>"
                       "</body></html>");
  f_.Host.row = f_.AddSavedEntry(Url("/p.htm"), f_.ProjectFolder(), "p.htm");
  f_.Pane->ViewQueueRow(f_.Host.row);
  ASSERT_TRUE(f_.WaitForLoad("p.htm"));
  test::RunFor(800);
  EXPECT_TRUE(server_.Requests().empty());
  // Its form still opens the editor; "View" reaches no server either, and says so.
  f_.Answer = [](TfmPostData& e) { return e.btnView; };
  ASSERT_TRUE(SubmitForm());
  EXPECT_EQ(f_.Editors.back().Params, "s=1");
  test::RunFor(300);
  EXPECT_TRUE(server_.Requests().empty());
  ASSERT_EQ(f_.Messages.size(), 2u);
  EXPECT_TRUE(f_.Messages[1].startsWith(QStringLiteral("A saved page is shown offline")));
}

}  // namespace
}  // namespace kestrix
