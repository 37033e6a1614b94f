#include "jack_fixture.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tambrel {

namespace {

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/" + name;
}

// Held while a JACK server starts or stops, across every test process of the machine. JACK servers
// share one registry of shared memory: one that starts while another server or its first client is
// setting up can leave the other unable to start ("did not start") or its client unable to attach
// ("Cannot open ... client"), which happened when ctest ran two JACK tests at once.
struct TJackSetupLock {
  TJackSetupLock() {
    if (Fd >= 0) ::flock(Fd, LOCK_EX);
  }
  ~TJackSetupLock() {
    if (Fd >= 0) ::close(Fd);  // closing releases the lock
  }
  const int Fd = ::open(TempPath("tambrel-jack-setup.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
};

std::string UniqueServerName() {
  static std::atomic<int> counter{0};
  return "tambrel-jack-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

}  // namespace

TJackServer::TJackServer() : ServerName(UniqueServerName()), LogFile(TempPath(ServerName + ".log")) {
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
  std::istringstream lines(RunChild({"/usr/bin/jack_lsp"}, options).Out);
  std::vector<std::string> ports;
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) ports.push_back(line);
  return ports;
}

bool TJackServer::WaitForPort(const std::string& name, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    const std::vector<std::string> ports = Ports();
    if (std::find(ports.begin(), ports.end(), name) != ports.end()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

}  // namespace tambrel
