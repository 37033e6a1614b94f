#pragma once
// The system's memory figures as the statistics window shows them, read from /proc: physical memory
// from /proc/meminfo, swap as the page file, and the process's address space (its size from
// /proc/self/status, its limit from getrlimit). Parsers take the files' text, so tests feed them fixtures.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tambrel {

struct TMemoryStatus {
  uint64_t MemoryLoad = 0;  // percent of physical memory in use
  uint64_t TotalPhys = 0;
  uint64_t AvailPhys = 0;
  uint64_t TotalPageFile = 0;
  uint64_t AvailPageFile = 0;
  uint64_t TotalVirtual = 0;
  uint64_t AvailVirtual = 0;
};

struct TMemInfo {
  uint64_t TotalPhys = 0;
  uint64_t AvailPhys = 0;
  uint64_t TotalSwap = 0;
  uint64_t FreeSwap = 0;
};

// Bytes from /proc/meminfo. Available memory is MemAvailable, or MemFree + Buffers + Cached on a kernel
// without it. Nothing when MemTotal is missing or 0, or a figure it needs is malformed.
std::optional<TMemInfo> ParseMemInfo(std::string_view text);

// The VmSize figure of /proc/self/status in bytes.
std::optional<uint64_t> ParseVmSize(std::string_view text);

// The address space a process may use: its RLIMIT_AS, at most the user address space of the machine.
uint64_t AddressSpaceLimit();

// Load 0 when the available figure is above the total; available virtual memory 0 when the process
// is larger than its limit.
TMemoryStatus CombineMemoryStatus(const TMemInfo& memInfo, uint64_t vmSize, uint64_t addressSpace);

// The figures of this moment; nothing when a file cannot be read or parsed.
std::optional<TMemoryStatus> ReadMemoryStatus();

}  // namespace tambrel
