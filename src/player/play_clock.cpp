#include "player/play_clock.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>

#include "player/realtime_scheduling.h"

namespace tambrel {

TPlayClock::~TPlayClock() = default;

TSteadyPlayClock::~TSteadyPlayClock() {
  Shutdown();
}

int64_t TSteadyPlayClock::NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void TSteadyPlayClock::Start(FireHandler handler) {
  FHandler = std::move(handler);
  FThread = std::thread([this] { Run(); });
  FScheduling = RequestRealtimeScheduling(FThread.native_handle());
}

void TSteadyPlayClock::Arm(int64_t deadlineUs, uint64_t id) {
  {
    std::lock_guard<std::mutex> guard(FMutex);
    FArmed = true;
    FDeadlineUs = deadlineUs;
    FId = id;
  }
  FWake.notify_one();
}

void TSteadyPlayClock::Cancel() {
  std::lock_guard<std::mutex> guard(FMutex);
  FArmed = false;
}

void TSteadyPlayClock::Shutdown() {
  {
    std::lock_guard<std::mutex> guard(FMutex);
    FStopping = true;
    FArmed = false;
  }
  FWake.notify_one();
  if (FThread.joinable()) FThread.join();
}

void TSteadyPlayClock::Run() {
  // A 50 us default slack on every wake-up would be most of the lateness; lower it. Without real-time
  // scheduling a higher nice priority helps a little, where the user has the right to it.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -1);
  std::unique_lock<std::mutex> lock(FMutex);
  while (!FStopping) {
    if (!FArmed) {
      FWake.wait(lock);
      continue;
    }
    const std::chrono::steady_clock::time_point deadline{std::chrono::microseconds(FDeadlineUs)};
    if (std::chrono::steady_clock::now() < deadline) {
      FWake.wait_until(lock, deadline);
      continue;  // re-examine: the deadline may have been replaced or cancelled
    }
    FArmed = false;
    const uint64_t id = FId;
    lock.unlock();
    FHandler(id);
    lock.lock();
  }
}

TSimulatedPlayClock::TSimulatedPlayClock(int64_t startUs) : FNowUs(startUs) {}

int64_t TSimulatedPlayClock::NowUs() {
  std::lock_guard<std::mutex> guard(FMutex);
  return FNowUs;
}

void TSimulatedPlayClock::Start(FireHandler handler) {
  std::lock_guard<std::mutex> guard(FMutex);
  FHandler = std::move(handler);
}

void TSimulatedPlayClock::Arm(int64_t deadlineUs, uint64_t id) {
  std::lock_guard<std::mutex> guard(FMutex);
  FArmed = true;
  FDeadlineUs = deadlineUs;
  FId = id;
}

void TSimulatedPlayClock::Cancel() {
  std::lock_guard<std::mutex> guard(FMutex);
  FArmed = false;
}

void TSimulatedPlayClock::Shutdown() {
  std::lock_guard<std::mutex> guard(FMutex);
  FStopped = true;
  FArmed = false;
}

void TSimulatedPlayClock::AdvanceTo(int64_t us) {
  std::unique_lock<std::mutex> lock(FMutex);
  while (!FStopped && FArmed && FDeadlineUs <= us) {
    FArmed = false;
    if (FDeadlineUs > FNowUs) FNowUs = FDeadlineUs;
    const uint64_t id = FId;
    lock.unlock();
    FHandler(id);
    lock.lock();
  }
  if (us > FNowUs) FNowUs = us;
}

void TSimulatedPlayClock::Spend(int64_t us) {
  std::lock_guard<std::mutex> guard(FMutex);
  FNowUs += us;
}

bool TSimulatedPlayClock::Armed() {
  std::lock_guard<std::mutex> guard(FMutex);
  return FArmed;
}

int64_t TSimulatedPlayClock::ArmedDeadlineUs() {
  std::lock_guard<std::mutex> guard(FMutex);
  return FDeadlineUs;
}

}  // namespace tambrel
