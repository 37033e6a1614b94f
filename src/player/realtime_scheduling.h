#pragma once
// Real-time scheduling for the thread that times play, asked for as JACK clients ask for it.

#include <pthread.h>

#include <string>

namespace tambrel {

// SCHED_FIFO at a modest priority, the same for every process of the program.
constexpr int RealtimePriority = 10;

// Puts thread under SCHED_FIFO at RealtimePriority, or at the highest priority RLIMIT_RTPRIO allows
// when that is lower; leaves it as it is where neither is permitted. Returns what the thread got, for
// people to read: "real-time (SCHED_FIFO, priority 10)" or "normal (real-time scheduling not permitted)".
std::string RequestRealtimeScheduling(pthread_t thread);

}  // namespace tambrel
