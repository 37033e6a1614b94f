#pragma once
// The monotonic clock and the one-shot wake-up that the play timer runs on. The real one waits on its own
// thread; the simulated one fires on the thread that advances it, so tests see exact instants.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tambrel {

class TPlayClock {
 public:
  // Called with the id given to Arm when its deadline is reached; never with a lock of the clock held.
  using FireHandler = std::function<void(uint64_t id)>;

  virtual ~TPlayClock();
  virtual int64_t NowUs() = 0;  // monotonic microseconds
  // Installs the handler; called once, before the first Arm.
  virtual void Start(FireHandler handler) = 0;
  // Replaces any armed deadline; a deadline already passed fires at once.
  virtual void Arm(int64_t deadlineUs, uint64_t id) = 0;
  virtual void Cancel() = 0;
  // When it returns the handler is not running and will not be called again.
  virtual void Shutdown() = 0;
  // How the thread that runs the handler is scheduled, for people to read; valid after Start.
  virtual std::string Scheduling() const = 0;
};

// std::chrono::steady_clock and a thread of its own waiting for the deadline on a condition variable.
// The thread lowers its timer slack and asks for real-time scheduling, else a higher nice priority;
// each falls back silently.
class TSteadyPlayClock : public TPlayClock {
 public:
  TSteadyPlayClock() = default;
  ~TSteadyPlayClock() override;
  int64_t NowUs() override;
  void Start(FireHandler handler) override;
  void Arm(int64_t deadlineUs, uint64_t id) override;
  void Cancel() override;
  void Shutdown() override;
  std::string Scheduling() const override { return FScheduling; }

 private:
  void Run();

  std::mutex FMutex;
  std::condition_variable FWake;
  // The four below are guarded by FMutex.
  bool FArmed = false;
  bool FStopping = false;
  int64_t FDeadlineUs = 0;
  uint64_t FId = 0;
  FireHandler FHandler;     // written by Start before the thread exists, then only read
  std::string FScheduling;  // written by Start, then only read
  std::thread FThread;
};

// Time stands still until AdvanceTo/AdvanceBy, which fire every deadline reached, in order, on the
// calling thread, with the clock set to each deadline while its handler runs.
class TSimulatedPlayClock : public TPlayClock {
 public:
  explicit TSimulatedPlayClock(int64_t startUs = 1000000);
  int64_t NowUs() override;
  void Start(FireHandler handler) override;
  void Arm(int64_t deadlineUs, uint64_t id) override;
  void Cancel() override;
  void Shutdown() override;
  std::string Scheduling() const override { return "simulated (no thread of its own)"; }

  void AdvanceTo(int64_t us);
  void AdvanceBy(int64_t us) { AdvanceTo(NowUs() + us); }
  // Moves time on without firing, as if a tick took that long.
  void Spend(int64_t us);
  bool Armed();
  int64_t ArmedDeadlineUs();  // meaningful only when Armed()

 private:
  std::mutex FMutex;
  // Guarded by FMutex.
  int64_t FNowUs;
  bool FArmed = false;
  bool FStopped = false;
  int64_t FDeadlineUs = 0;
  uint64_t FId = 0;
  FireHandler FHandler;
};

}  // namespace tambrel
