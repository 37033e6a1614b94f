#include "cli/midi_file_writer.h"

#include <map>
#include <stdexcept>

#include "midi/midi_stream.h"
#include "support/text_format.h"

namespace tambrel {

namespace {

constexpr uint16_t TicksPerQuarter = 500;
constexpr uint32_t MicrosecondsPerQuarter = 500000;
// The largest delta time a file may hold: four bytes of seven bits.
constexpr uint32_t MaxDelta = 0x0FFFFFFF;
constexpr size_t MaxTracks = 65535;

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(value >> shift));
}

// The variable-length quantity of the file format: 7 bits per byte, high bit set on all but the last.
void PutVarLen(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t groups[5];
  int count = 0;
  do {
    groups[count++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(static_cast<uint8_t>(groups[--count] | 0x80));
  out.push_back(groups[0]);
}

class TTrackBuilder {
 public:
  void Event(uint32_t time, const std::vector<uint8_t>& bytes) {
    Delta(time);
    Body.insert(Body.end(), bytes.begin(), bytes.end());
  }
  // An F0 or F7 event: the lead byte, the length of the rest, the rest.
  void Framed(uint32_t time, uint8_t lead, const uint8_t* data, size_t length) {
    Delta(time);
    Body.push_back(lead);
    PutVarLen(Body, static_cast<uint32_t>(length));
    Body.insert(Body.end(), data, data + length);
  }
  void Meta(uint32_t time, uint8_t type, const std::vector<uint8_t>& data) {
    Delta(time);
    Body.push_back(0xFF);
    Body.push_back(type);
    PutVarLen(Body, static_cast<uint32_t>(data.size()));
    Body.insert(Body.end(), data.begin(), data.end());
  }
  void AppendTo(std::vector<uint8_t>& file) const {
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    PutBigEndian(file, static_cast<uint32_t>(Body.size()), 4);
    file.insert(file.end(), Body.begin(), Body.end());
  }

 private:
  void Delta(uint32_t time) {
    if (time < Last) throw std::logic_error("Export items are not in time order");
    // A longer gap is bridged by empty text events, which every reader skips.
    for (; time - Last > MaxDelta; Last += MaxDelta) {
      PutVarLen(Body, MaxDelta);
      Body.insert(Body.end(), {0xFF, 0x01, 0x00});
    }
    PutVarLen(Body, time - Last);
    Last = time;
  }
  std::vector<uint8_t> Body;
  uint32_t Last = 0;
};

void StartTrack(TTrackBuilder& track, const std::string& name) {
  if (!name.empty()) track.Meta(0, 0x03, std::vector<uint8_t>(name.begin(), name.end()));
  std::vector<uint8_t> tempo;
  PutBigEndian(tempo, MicrosecondsPerQuarter, 3);
  track.Meta(0, 0x51, tempo);
}

void AddItem(TTrackBuilder& track, const TExportItem& item) {
  std::vector<TMidiMessage> messages;
  try {
    messages = SplitMidiStream(item.Bytes);
  } catch (const EMidiStreamError&) {
    // Not complete MIDI messages (slide commands, say): kept as they are in one escape event.
    track.Framed(item.Time, 0xF7, item.Bytes.data(), item.Bytes.size());
    return;
  }
  for (const TMidiMessage& message : messages) {
    const uint8_t status = message.Bytes.front();
    if (message.IsSysEx)
      track.Framed(item.Time, 0xF0, message.Bytes.data() + 1, message.Bytes.size() - 1);
    else if (status < 0xF0)
      track.Event(item.Time, message.Bytes);
    else  // system common and real-time bytes have no plain event form in a file
      track.Framed(item.Time, 0xF7, message.Bytes.data(), message.Bytes.size());
  }
}

}  // namespace

std::vector<uint8_t> BuildMidiFile(const std::vector<TExportItem>& items, uint32_t endTime) {
  std::map<int32_t, TTrackBuilder> tracks;  // ascending device numbers
  for (const TExportItem& item : items) {
    auto [it, added] = tracks.try_emplace(item.Device);
    if (added) StartTrack(it->second, StrFormat("Device %d", item.Device));
  }
  if (tracks.size() > MaxTracks)
    throw std::length_error(
        StrFormat("A MIDI file holds at most %zu tracks, one per device number: the "
                  "timeline has %zu device numbers",
                  MaxTracks, tracks.size()));
  for (const TExportItem& item : items) AddItem(tracks[item.Device], item);

  TTrackBuilder tempoOnly;
  if (tracks.empty()) StartTrack(tempoOnly, {});

  std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
  PutBigEndian(file, 6, 4);
  PutBigEndian(file, 1, 2);
  PutBigEndian(file, tracks.empty() ? 1u : static_cast<uint32_t>(tracks.size()), 2);
  PutBigEndian(file, TicksPerQuarter, 2);
  if (tracks.empty()) {
    tempoOnly.Meta(endTime, 0x2F, {});
    tempoOnly.AppendTo(file);
  }
  for (auto& [device, track] : tracks) {
    track.Meta(endTime, 0x2F, {});
    track.AppendTo(file);
  }
  return file;
}

}  // namespace tambrel
