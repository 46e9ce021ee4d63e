#include "tests/support/fault_server.h"

#include <strings.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <sstream>

#include "tests/support/child_process.h"
#include "tests/support/connect_proxy.h"

namespace kestrix::test {
namespace {

std::string Latin1(const QJsonValue& v) {
  return v.toString().toLatin1().toStdString();
}

}  // namespace

const std::string* TRecordedRequest::Find(const std::string& name) const {
  for (const auto& [n, v] : Headers) {
    if (strcasecmp(n.c_str(), name.c_str()) == 0) return &v;
  }
  return nullptr;
}

std::string SendStep(const std::string& bytes) {
  std::string json = R"({"send": ")";
  char escaped[8];
  for (unsigned char c : bytes) {
    // The server sends each character of the text as one Latin-1 byte.
    if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      json += escaped;
    } else {
      json += static_cast<char>(c);
    }
  }
  return json + R"("})";
}

bool TScriptServer::Run(std::vector<std::string> argv, const std::string& name) {
  argv.insert(argv.end(), {"--log", run_.Path() + "requests.jsonl", "--lifetime", "300"});
  port_ = SpawnServer(argv, name, pid_, error_);
  return port_ > 0;
}

void TScriptServer::Stop() {
  StopChild(pid_);
  pid_ = -1;
}

bool TFaultServer::Start() {
  return Run(
      {"python3", KESTRIX_FAULT_SERVER, "--scenario", run_.WriteFile("scenario.json", scenario_)},
      "the fault server");
}

bool TConnectProxy::Start() {
  std::string route = R"([{"forward": true}])";
  if (!credentials_.empty()) {
    const QByteArray token = QByteArray::fromStdString(credentials_).toBase64();
    route = R"({"if_header": ["Proxy-Authorization", "Basic )" + token.toStdString() +
            R"("], "then": )" + route + R"(, "else": [{"send": "HTTP/1.0 407 Proxy )" +
            R"(Authentication Required\r\nProxy-Authenticate: Basic realm=\"test\"\r\n\r\n"}]})";
  }
  const std::string scenario = R"({"routes": {"*": )" + route + "}}";
  return Run(
      {"python3", KESTRIX_FAULT_SERVER, "--scenario", run_.WriteFile("scenario.json", scenario)},
      "the proxy");
}

std::vector<TRecordedRequest> TScriptServer::Requests() const {
  std::vector<TRecordedRequest> requests;
  std::istringstream in(ReadWholeFile(run_.Path() + "requests.jsonl"));
  for (std::string line; std::getline(in, line);) {
    QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    TRecordedRequest r;
    r.RequestLine = Latin1(o.value(QStringLiteral("request_line")));
    r.Body = Latin1(o.value(QStringLiteral("body")));
    r.Overlap = o.value(QStringLiteral("overlap")).toInt();
    r.Connection = o.value(QStringLiteral("connection")).toInt();
    r.Open = o.value(QStringLiteral("open")).toInt();
    r.Time = o.value(QStringLiteral("time")).toDouble();
    for (const QJsonValue& h : o.value(QStringLiteral("headers")).toArray()) {
      QJsonArray pair = h.toArray();
      r.Headers.emplace_back(Latin1(pair.at(0)), Latin1(pair.at(1)));
    }
    requests.push_back(std::move(r));
  }
  return requests;
}

}  // namespace kestrix::test
