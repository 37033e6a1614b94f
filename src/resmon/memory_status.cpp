#include "resmon/memory_status.h"

#include <sys/resource.h>

#include <charconv>
#include <fstream>
#include <sstream>
#include <string>

namespace tambrel {

namespace {

// x86-64 and AArch64 give a process 47 or 48 bits of address space without special requests.
constexpr uint64_t kUserAddressSpace = uint64_t{1} << 47;

// The figure of "Key:   123 kB", in bytes; nothing when the key is missing or its figure malformed.
std::optional<uint64_t> FigureOf(std::string_view text, std::string_view key) {
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ':') continue;
    line.remove_prefix(key.size() + 1);
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    uint64_t value = 0;
    const auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (error != std::errc() || rest == line.data()) return std::nullopt;
    const std::string_view unit =
        std::string_view(rest, static_cast<size_t>(line.data() + line.size() - rest));
    if (unit == " kB" && __builtin_mul_overflow(value, uint64_t{1024}, &value)) return std::nullopt;
    if (unit != " kB" && !unit.empty()) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

std::optional<std::string> ReadFile(const char* fileName) {
  std::ifstream in(fileName);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

}  // namespace

std::optional<TMemInfo> ParseMemInfo(std::string_view text) {
  const auto total = FigureOf(text, "MemTotal");
  if (!total || *total == 0) return std::nullopt;
  TMemInfo info;
  info.TotalPhys = *total;
  if (const auto available = FigureOf(text, "MemAvailable")) {
    info.AvailPhys = *available;
  } else {
    const auto free = FigureOf(text, "MemFree"), buffers = FigureOf(text, "Buffers"),
               cached = FigureOf(text, "Cached");
    if (!free || !buffers || !cached) return std::nullopt;
    info.AvailPhys = *free + *buffers + *cached;
  }
  info.TotalSwap = FigureOf(text, "SwapTotal").value_or(0);
  info.FreeSwap = FigureOf(text, "SwapFree").value_or(0);
  return info;
}

std::optional<uint64_t> ParseVmSize(std::string_view text) {
  return FigureOf(text, "VmSize");
}

uint64_t AddressSpaceLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUserAddressSpace;
  return std::min<uint64_t>(limit.rlim_cur, kUserAddressSpace);
}

TMemoryStatus CombineMemoryStatus(const TMemInfo& memInfo, uint64_t vmSize, uint64_t addressSpace) {
  TMemoryStatus status;
  status.TotalPhys = memInfo.TotalPhys;
  status.AvailPhys = memInfo.AvailPhys;
  if (memInfo.TotalPhys > 0 && memInfo.AvailPhys <= memInfo.TotalPhys) {
    const uint64_t used = memInfo.TotalPhys - memInfo.AvailPhys;
    // used * 100 fits below 184 PB; beyond that the total is large enough to divide first.
    status.MemoryLoad =
        used <= UINT64_MAX / 100 ? used * 100 / memInfo.TotalPhys : used / (memInfo.TotalPhys / 100);
  }
  status.TotalPageFile = memInfo.TotalSwap;
  status.AvailPageFile = memInfo.FreeSwap;
  status.TotalVirtual = addressSpace;
  status.AvailVirtual = vmSize < addressSpace ? addressSpace - vmSize : 0;
  return status;
}

std::optional<TMemoryStatus> ReadMemoryStatus() {
  const auto memInfoText = ReadFile("/proc/meminfo");
  const auto statusText = ReadFile("/proc/self/status");
  if (!memInfoText || !statusText) return std::nullopt;
  const auto memInfo = ParseMemInfo(*memInfoText);
  const auto vmSize = ParseVmSize(*statusText);
  if (!memInfo || !vmSize) return std::nullopt;
  return CombineMemoryStatus(*memInfo, *vmSize, AddressSpaceLimit());
}

}  // namespace tambrel
