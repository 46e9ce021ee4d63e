// Downloads every URL given at once, one client each, into a folder, and
// prints the total throughput. Driven by http_download.sh, which compares it
// with curl and wget on the same files.
//
//   http_fetch OUTDIR URL...
#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "http/http_client.h"

namespace {

struct TDownload {
  kestrix::THttpCli Client;
  std::unique_ptr<kestrix::TFileOutStream> File;
  bool Done = false;
  bool Ok = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: http_fetch OUTDIR URL...\n");
    return 2;
  }
  QCoreApplication app(argc, argv);
  std::string out = std::string(argv[1]) + "/";
  std::vector<std::unique_ptr<TDownload>> downloads;
  int pending = argc - 2;
  auto start = std::chrono::steady_clock::now();
  for (int i = 2; i < argc; ++i) {
    auto d = std::make_unique<TDownload>();
    std::string url = argv[i];
    std::string name = url.substr(url.rfind('/') + 1);
    d->File =
        std::make_unique<kestrix::TFileOutStream>(out + name, kestrix::TFileOutStream::Create);
    d->Client.ReceiveStream = d->File.get();
    d->Client.URL = url;
    TDownload* raw = d.get();
    d->Client.OnRequestDone = [raw, &pending](kestrix::THttpCli& c, kestrix::THttpRequest,
                                              std::uint16_t error) {
      raw->Done = true;
      raw->Ok = error == 0 && c.StatusCode() == 200 && c.ReceivedCount() == c.ContentLength();
      raw->File.reset();
      if (--pending == 0) QCoreApplication::quit();
    };
    d->Client.GetAsync();
    downloads.push_back(std::move(d));
  }
  QTimer::singleShot(300000, &app, &QCoreApplication::quit);  // never run for ever
  app.exec();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::int64_t bytes = 0;
  int failed = 0;
  for (const auto& d : downloads) {
    bytes += d->Client.ReceivedCount();
    if (!d->Ok) ++failed;
  }
  std::printf("files=%zu failed=%d bytes=%lld seconds=%.3f MBps=%.1f\n", downloads.size(), failed,
              static_cast<long long>(bytes), seconds, bytes / seconds / 1e6);
  return failed ? 1 : 0;
}
