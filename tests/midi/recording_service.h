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
    uint32_t Packed = 0;                         // short messages
    std::vector<std::vector<uint8_t>> Messages;  // long messages
  };

  explicit TRecordingService(std::vector<std::string> names, std::string mapperName = MidiMapperName);

  uint32_t GetNumDevs() override;
  TMidiResult GetDevCaps(uint32_t id, TMidiOutCaps& caps) override;
  TMidiResult Open(uint32_t id, const std::string& portName, TMidiDoneCallback done,
                   std::unique_ptr<TMidiOutPort>& port) override;

  // Completes every held buffer (in order) through the done callback; returns how many.
  size_t CompleteAll();
  // Reports the open port as dead through its done callback.
  void KillPort(TMidiResult failure);
  // Every message sent, short and long, in order.
  std::vector<std::vector<uint8_t>> Wire();

  std::mutex Lock;  // guards every field below
  std::vector<std::string> Names;
  std::string MapperName;
  TMidiResult CapsResult;  // returned by GetDevCaps
  TMidiResult OpenResult;
  TMidiResult SendResult;  // returned by ShortMsg and LongMsg
  TMidiResult CloseResult;
  size_t MaxMessage = 0;                              // the port's MaxMessageBytes
  TMidiReceiver Receiver = TMidiReceiver::Unchanged;  // what the next Maintain says
  std::vector<TSent> Sent;
  std::vector<std::string> Calls;  // "open 1 as NAME", "reset", "close", ...
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
