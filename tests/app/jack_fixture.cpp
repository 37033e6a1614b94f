#include "jack_fixture.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tambrel {

namespace {

std::string UniqueName(const char* kind) {
  static std::atomic<int> counter{0};
  return std::string("tambrel-") + kind + "-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/" + name;
}

bool IsHexByte(const std::string& token) {
  auto hex = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  };
  return token.size() == 2 && hex(token[0]) && hex(token[1]);
}

// Held while a JACK server starts or stops, or a monitor joins one, across every test process of the
// machine. JACK servers share one registry of shared memory: one that starts while another server or its
// first client is setting up can leave the other unable to start ("did not start") or its client unable
// to attach ("Cannot open ... client"), which happened when ctest ran two JACK tests at once.
class TJackSetupLock {
 public:
  TJackSetupLock()
      : Fd(::open(TempPath("tambrel-jack-setup.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
    if (Fd >= 0) ::flock(Fd, LOCK_EX);
  }
  ~TJackSetupLock() {
    if (Fd >= 0) ::close(Fd);  // closing releases the lock
  }
  TJackSetupLock(const TJackSetupLock&) = delete;
  TJackSetupLock& operator=(const TJackSetupLock&) = delete;

 private:
  int Fd;
};

}  // namespace

TJackServer::TJackServer() : ServerName(UniqueName("jack")), LogFile(TempPath(ServerName + ".log")) {
  TJackSetupLock setup;
  Server = std::make_unique<TBackgroundChild>(
      std::vector<std::string>{"jackd", "-R", "-n", ServerName, "-d", "dummy", "-r", "48000", "-p", "256"},
      LogFile, std::vector<std::string>{"JACK_NO_AUDIO_RESERVATION=1"});
  TChildOptions options;
  options.ExtraEnvironment = Environment();
  options.TimeoutMs = 15000;
  const TChildResult ready = RunChild({"/usr/bin/jack_wait", "-w", "-t", "10"}, options);
  if (ready.ExitStatus != 0 || !Server->Running())
    throw std::runtime_error("JACK server " + ServerName + " did not start: " + Server->Stop());
}

TJackServer::~TJackServer() {
  TJackSetupLock setup;
  Server->Stop();
  ::unlink(LogFile.c_str());
}

std::vector<std::string> TJackServer::Environment() const {
  return {"JACK_DEFAULT_SERVER=" + ServerName, "JACK_NO_START_SERVER=1"};
}

std::vector<std::string> TJackServer::Ports() const {
  TChildOptions options;
  options.ExtraEnvironment = Environment();
  const TChildResult listing = RunChild({"/usr/bin/jack_lsp"}, options);
  std::vector<std::string> ports;
  std::istringstream lines(listing.Out);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) ports.push_back(line);
  return ports;
}

bool TJackServer::WaitForPort(const std::string& name, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    for (const std::string& port : Ports())
      if (port == name) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

TJackMidiMonitor::TJackMidiMonitor(const TJackServer& server)
    : OutputFile(TempPath(UniqueName("midi-dump") + ".txt")) {
  TJackSetupLock setup;
  Monitor = std::make_unique<TBackgroundChild>(std::vector<std::string>{"jack_midi_dump"}, OutputFile,
                                               server.Environment());
  if (!server.WaitForPort(InputPort, 10000)) {
    const std::string said = Monitor->Stop();
    ::unlink(OutputFile.c_str());
    throw std::runtime_error("jack_midi_dump did not register its port; it said: " + said);
  }
}

std::vector<std::vector<uint8_t>> TJackMidiMonitor::StopAndCollect() {
  const std::string text = Monitor->Stop();
  ::unlink(OutputFile.c_str());
  return ParseMidiDump(text);
}

std::vector<std::vector<uint8_t>> ParseMidiDump(const std::string& text) {
  std::vector<std::vector<uint8_t>> events;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string frame = line.substr(0, colon);
    if (frame.find_first_not_of(" 0123456789") != std::string::npos ||
        frame.find_first_of("0123456789") == std::string::npos)
      continue;
    std::istringstream tokens(line.substr(colon + 1));
    std::vector<uint8_t> bytes;
    for (std::string token; tokens >> token && IsHexByte(token);)
      bytes.push_back(static_cast<uint8_t>(std::stoi(token, nullptr, 16)));
    if (!bytes.empty()) events.push_back(bytes);
  }
  return events;
}

}  // namespace tambrel
