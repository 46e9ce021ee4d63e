#include "tests/http/client_recorder.h"

#include "tests/support/event_wait.h"

namespace kestrix::test {

TClientRecorder::TClientRecorder(THttpCli& client) : Client(client) {
  Client.OnHeaderEnd = [this](THttpCli&) { Events.push_back("HeaderEnd"); };
  Client.OnDocBegin = [this](THttpCli&) { Events.push_back("DocBegin"); };
  Client.OnDocData = [this](THttpCli&, const char* data, int length) {
    if (Events.empty() || Events.back() != "DocData") Events.push_back("DocData");
    Body.append(data, static_cast<std::size_t>(length));
  };
  Client.OnDocEnd = [this](THttpCli&) { Events.push_back("DocEnd"); };
  Client.OnLocationChange = [this](THttpCli& c) {
    Events.push_back("LocationChange");
    Locations.push_back(c.Location());
  };
  Client.OnRequestDone = [this](THttpCli& c, THttpRequest, std::uint16_t error) {
    Events.push_back("RequestDone");
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

}  // namespace kestrix::test
