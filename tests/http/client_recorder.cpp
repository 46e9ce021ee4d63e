#include "tests/http/client_recorder.h"

#include "tests/support/event_wait.h"

namespace kestrix::test {

TClientRecorder::TClientRecorder(THttpCli& client) : Client(client) {
  Client.OnHeaderEnd = [this](THttpCli&) { Raw.push_back("HeaderEnd"); };
  Client.OnDocBegin = [this](THttpCli&) { Raw.push_back("DocBegin"); };
  Client.OnDocData = [this](THttpCli&, const char* data, int length) {
    Raw.push_back("DocData");
    Body.append(data, static_cast<std::size_t>(length));
  };
  Client.OnDocEnd = [this](THttpCli&) { Raw.push_back("DocEnd"); };
  Client.OnLocationChange = [this](THttpCli& c) {
    Raw.push_back("LocationChange");
    Locations.push_back(c.Location());
  };
  Client.OnRequestDone = [this](THttpCli& c, THttpRequest, std::uint16_t error) {
    Raw.push_back("RequestDone");
    ++Done;
    DoneError = error;
    StateAtDone = c.State();
  };
}

bool TClientRecorder::Get(const std::string& url, int timeoutMs) {
  Client.URL = url;
  Client.GetAsync();
  return WaitDone(timeoutMs);
}

bool TClientRecorder::WaitDone(int timeoutMs) {
  int before = Done;
  return RunUntil([&] { return Done > before; }, timeoutMs);
}

std::vector<std::string> TClientRecorder::Events() const {
  std::vector<std::string> out;
  for (const auto& e : Raw) {
    if (e == "DocData" && !out.empty() && out.back() == "DocData") continue;
    out.push_back(e);
  }
  return out;
}

}  // namespace kestrix::test
