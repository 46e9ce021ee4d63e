// What the preview does with a form submitted inside its page: the post data
// editor decides between downloading it, viewing it, and nothing.
#include <QUrl>
#include <QWebEngineHttpRequest>
#include <QWebEngineView>
#include <algorithm>
#include <utility>
#include <vector>

#include "browser/preview_page.h"
#include "core/offline_state.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "http/http_client.h"
#include "ui/post_data.h"
#include "ui/post_data_dialog.h"
#include "ui/preview_host.h"
#include "ui/preview_pane.h"

namespace kestrix {
namespace {

struct TMultipart {
  QByteArray Boundary;
  QByteArray Body;
};

// A form's body as it goes out, and its type.
struct TFormBody {
  std::string Type;
  std::string Body;
};

// "name=value&..." as a form encodes it, turned into the parts of a
// multipart/form-data body (a file field carries only its file name). The
// boundary is one that no field holds.
TMultipart MultipartBody(const std::string& params) {
  std::vector<std::pair<QByteArray, QByteArray>> fields;
  for (const TPostParam& param : ParseParams(params)) {
    const auto decoded = [](const std::string& text) {
      return QByteArray::fromPercentEncoding(QByteArray::fromStdString(text).replace('+', ' '));
    };
    QByteArray name = decoded(param.Name);
    name.replace('"', "%22").replace('\r', "%0D").replace('\n', "%0A");
    fields.emplace_back(name, decoded(param.Value));
  }
  TMultipart form{QByteArrayLiteral("----KestrixFormBoundary"), {}};
  for (int tail = 0;; ++tail) {
    const QByteArray boundary = form.Boundary + QByteArray::number(tail);
    const bool clash = std::any_of(fields.begin(), fields.end(), [&boundary](const auto& field) {
      return field.first.contains(boundary) || field.second.contains(boundary);
    });
    if (clash) continue;
    form.Boundary = boundary;
    break;
  }
  for (const auto& [name, value] : fields) {
    form.Body += "--" + form.Boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
                 "\"\r\n\r\n" + value + "\r\n";
  }
  form.Body += "--" + form.Boundary + "--\r\n";
  return form;
}

TFormBody EncodedForm(const std::string& params, bool multipart) {
  if (!multipart) return {kFormUrlEncoded, params};
  const TMultipart form = MultipartBody(params);
  return {"multipart/form-data; boundary=" + form.Boundary.toStdString(), form.Body.toStdString()};
}

}  // namespace

void TPreviewPane::Submitted(const TFormSubmission& form) {
  // A page that submits while the editor is open waits for no second one.
  if (editorOpen_) return;
  editorOpen_ = true;
  TfmPostData editor([this] { host_.EditSelectedJob(); }, this);
  editor.Setup(form.Url, form.Body, form.Posted, form.Multipart);
  if (context_.EditorShown) context_.EditorShown(editor);
  const int result = editor.exec();
  editorOpen_ = false;
  const bool get = editor.Data().IsGet();
  const std::optional<std::string> body =
      get ? std::nullopt : std::optional<std::string>(editor.ResultPostData());
  const bool multipart = editor.Data().ResultMultipart();
  if (result == QDialog::Accepted) {
    DownloadForm(editor.ResultUrl(), body, multipart);
  } else if (result == TfmPostData::kViewResult) {
    ViewForm(editor.ResultUrl(), body, multipart);
  }
  // Cancel: the submission was never let through, the page stays as it was.
}

void TPreviewPane::DownloadForm(const std::string& url, const std::optional<std::string>& body,
                                bool multipart) {
  TDownloadControl& control = context_.Control;
  if (control.Queue().Find(url) >= 0) {
    context_.ShowMessage(this, TMessageKind::Information,
                         QString::fromStdString(url) + QStringLiteral(" is already in the queue"));
    return;
  }
  // A urlencoded body is the entry's default and is stored without its type.
  std::optional<std::string> sent;
  std::string type;
  if (body) {
    TFormBody form = EncodedForm(*body, multipart);
    sent = std::move(form.Body);
    if (multipart) type = std::move(form.Type);
  }
  if (!control.StartJob(host_.SelectedProject(), host_.SelectedJob(), true, sent, url, type)) {
    context_.ShowMessage(this, TMessageKind::Information,
                         QStringLiteral("Select the job to download the form for."));
    return;
  }
  host_.ShowQueuePage();
}

void TPreviewPane::ViewForm(const std::string& url, const std::optional<std::string>& body,
                            bool multipart) {
  // Offline, the page would refuse the request without a word.
  const QString shown = QString::fromStdString(url);
  if (context_.Offline.IsGlobalOffline()) {
    context_.ShowMessage(this, TMessageKind::Information,
                         QStringLiteral("\"Work Offline\" is on: the form is not sent to ") +
                             shown + QStringLiteral(". Switch it off in Options to view it."));
    return;
  }
  if (!PreviewMode) {
    context_.ShowMessage(
        this, TMessageKind::Information,
        QStringLiteral("A saved page is shown offline: the form is not sent to ") + shown +
            QStringLiteral(". \"Download\" fetches its answer, and a preview of the starting "
                           "page sends forms live."));
    return;
  }
  const QUrl target = QUrl::fromEncoded(QByteArray::fromStdString(url));
  if (!body) {
    page_->load(target);
    return;
  }
  // The edited fields, encoded as the form would have sent them.
  QWebEngineHttpRequest request(target, QWebEngineHttpRequest::Post);
  const TFormBody form = EncodedForm(*body, multipart);
  request.setHeader(QByteArrayLiteral("Content-Type"), QByteArray::fromStdString(form.Type));
  request.setPostData(QByteArray::fromStdString(form.Body));
  page_->load(request);
}

}  // namespace kestrix
