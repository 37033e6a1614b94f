#pragma once
// A private JACK server on the dummy driver for the end-to-end tests of play.

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

namespace tambrel {

class TJackServer {
 public:
  // Starts "jackd -R -n <unique name> -d dummy" and waits until clients can connect. Real-time
  // scheduling where the system allows it (jackd goes on without it elsewhere): a reader whose process
  // thread wakes late misses the port buffer of its period, and events it should have seen are gone.
  // Throws std::runtime_error when the server does not come up.
  TJackServer();
  ~TJackServer();
  // What a client needs in its environment to find this server (and no other).
  std::vector<std::string> Environment() const;
  // The ports as jack_lsp lists them.
  std::vector<std::string> Ports() const;
  // Waits up to timeoutMs for a port of that name to exist.
  bool WaitForPort(const std::string& name, int timeoutMs) const;
  const std::string& Name() const { return ServerName; }

 private:
  std::string ServerName;
  std::string LogFile;
  std::unique_ptr<TBackgroundChild> Server;
};

}  // namespace tambrel
