#pragma once
// A MIDI service for the tests: a fixed port list, every call recorded, results that a test can set,
// and long buffers held until the test completes them (from any thread).

#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_service.h"

namespace tambrel {

class TRecordingService : public TMidiOutService {
 public:
  struct TSent {
    bool Long = false;
    uint32_t Packed = 0;         // short messages
    std::vector<uint8_t> Bytes;  // long messages
  };

  explicit TRecordingService(std::vector<std::string> names, std::string mapperName = MidiMapperName);

  uint32_t GetNumDevs() override;
  uint16_t GetDevCaps(uint32_t id, TMidiOutCaps& caps) override;
  uint16_t Open(uint32_t id, TMidiDoneCallback done, std::unique_ptr<TMidiOutPort>& port) override;
  bool GetErrorText(uint16_t code, std::string& text) override;

  // Completes every held buffer (in order) through the done callback; returns how many.
  size_t CompleteAll();
  // Reports the open port as dead through its done callback.
  void KillPort(uint16_t code);

  std::mutex Lock;  // guards every field below
  std::vector<std::string> Names;
  std::string MapperName;
  uint16_t CapsResult = 0;  // returned by GetDevCaps
  uint16_t OpenResult = 0;
  uint16_t SendResult = 0;  // returned by ShortMsg and LongMsg
  uint16_t CloseResult = 0;
  std::vector<TSent> Sent;
  std::vector<std::string> Calls;  // "open 1", "reset", "close", ...
  std::vector<std::unique_ptr<TMidiLongBuffer>> Held;
  TMidiDoneCallback Done;
  int OpenPorts = 0;
  int InSend = 0;  // sends in progress: a close while > 0 is a fault the tests look for
  int CloseDuringSend = 0;
  int SendDelayUs = 0;

 private:
  class TPort;
};

}  // namespace tambrel
