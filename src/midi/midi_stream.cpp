#include "midi/midi_stream.h"

#include <utility>

#include "support/text_format.h"

namespace tambrel {

namespace {

// How many dropped bytes the report shows.
constexpr size_t ReportedBytes = 16;

bool IsRealTime(uint8_t b) {
  return b >= 0xF8;
}

}  // namespace

int MidiDataLength(uint8_t status) {
  if (status < 0x80) return -1;
  if (status < 0xF0) {
    const uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
  }
  switch (status) {
    case 0xF1:  // time code quarter frame
    case 0xF3:  // song select
      return 1;
    case 0xF2:  // song position
      return 2;
    case 0xF6:  // tune request
      return 0;
    case 0xF0:
    case 0xF4:
    case 0xF5:
    case 0xF7:
      return -1;
    default:
      return 0;  // real-time F8..FF
  }
}

void TMidiStreamSplitter::Drop(const std::vector<uint8_t>& bytes) {
  DroppedCount += bytes.size();
  for (uint8_t b : bytes)
    if (DroppedHead.size() < ReportedBytes) DroppedHead.push_back(b);
}

void TMidiStreamSplitter::Finish(std::vector<TMidiMessage>& out) {
  out.push_back(std::move(Current));
  Current = TMidiMessage{};
  Open = false;
}

// A status byte outside a system exclusive block, with no message open.
void TMidiStreamSplitter::Begin(uint8_t status, std::vector<TMidiMessage>& out) {
  if (status == 0xF0) {
    Running = 0;
    Current.Bytes = {status};
    Current.IsSysEx = true;
    Needed = -1;
    Open = true;
    return;
  }
  const int length = MidiDataLength(status);
  if (length < 0) {  // F4, F5, a stray F7: a system status of no message
    Running = 0;
    Drop(status);
    return;
  }
  Running = status < 0xF0 ? status : 0;
  Current.Bytes = {status};
  Needed = length;
  Open = true;
  if (Needed == 0) Finish(out);
}

void TMidiStreamSplitter::Feed(std::span<const uint8_t> data, std::vector<TMidiMessage>& out) {
  for (const uint8_t b : data) {
    if (IsRealTime(b)) {
      out.push_back(TMidiMessage{{b}, false});
      continue;
    }
    const bool status = (b & 0x80) != 0;
    if (Open && Needed < 0) {  // inside a system exclusive block
      if (!status) {
        if (Discarding) continue;
        Current.Bytes.push_back(b);
        if (SysExLimit != 0 && Current.Bytes.size() + 1 > SysExLimit) {
          // It could never be sent as one message: the rest of the block goes with it.
          ++LongBlocks;
          Discarding = true;
          Current.Bytes.clear();
        }
        continue;
      }
      if (b == 0xF7) {
        if (Discarding) {
          Discarding = false;
          Current = TMidiMessage{};
          Open = false;
          continue;
        }
        Current.Bytes.push_back(b);
        Finish(out);
        continue;
      }
      // Any other status byte ends the block unfinished.
      if (!Discarding) Drop(Current.Bytes);
      Discarding = false;
      Current = TMidiMessage{};
      Open = false;
      Begin(b, out);
      continue;
    }
    if (Open) {
      if (status) {
        Drop(Current.Bytes);
        Current = TMidiMessage{};
        Open = false;
        Begin(b, out);
        continue;
      }
      Current.Bytes.push_back(b);
      if (--Needed == 0) Finish(out);
      continue;
    }
    if (status) {
      Begin(b, out);
    } else if (Running == 0) {
      Drop(b);
    } else {
      Current.Bytes = {Running, b};
      Needed = MidiDataLength(Running) - 1;
      Open = true;
      if (Needed == 0) Finish(out);
    }
  }
}

std::string TMidiStreamSplitter::TakeDropReport() {
  std::string report;
  if (DroppedCount != 0) {
    std::string bytes;
    for (uint8_t b : DroppedHead) bytes += StrFormat(" %02X", static_cast<unsigned>(b));
    if (DroppedCount > DroppedHead.size()) bytes += " ...";
    report = StrFormat("%zu MIDI byte%s dropped, not part of a complete message:%s", DroppedCount,
                       DroppedCount == 1 ? "" : "s", bytes.c_str());
  }
  if (LongBlocks != 0) {
    if (!report.empty()) report += "; ";
    report += StrFormat("a system exclusive block longer than the %zu bytes the MIDI port takes was dropped",
                        SysExLimit);
  }
  DroppedCount = 0;
  DroppedHead.clear();
  LongBlocks = 0;
  return report;
}

std::vector<TMidiMessage> SplitMidiStream(std::span<const uint8_t> data) {
  TMidiStreamSplitter splitter;
  std::vector<TMidiMessage> out;
  splitter.Feed(data, out);
  std::string report = splitter.TakeDropReport();
  if (splitter.Pending())
    report += (report.empty() ? "" : "; ") + std::string("incomplete MIDI message at the end");
  if (!report.empty()) throw EMidiStreamError(report);
  return out;
}

}  // namespace tambrel
