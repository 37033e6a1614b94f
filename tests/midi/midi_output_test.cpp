#include "midi/midi_output.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "midi_error_of.h"
#include "recording_service.h"

namespace tambrel {
namespace {

TEST(MidiOutputTest, SelectionByNumber) {
  TRecordingService service({"Synth A", "Synth B"});
  TMidiOutput out(service);
  EXPECT_EQ(out.NumDevs(), 2);
  EXPECT_EQ(out.State(), TMidiState::Closed);
  EXPECT_EQ(out.DeviceID(), 0u);
  EXPECT_EQ(out.ProductName(), "");
  out.SetDeviceID(1);
  EXPECT_EQ(out.ProductName(), "Synth B");
  EXPECT_EQ(out.DriverVersion(), 0x101u);
  EXPECT_EQ(out.ChannelMask(), 0xFFFF);
  EXPECT_EQ(ErrorOf([&] { out.SetDeviceID(2); }), "Invalid MIDI out device ID");
  EXPECT_EQ(out.DeviceID(), 1u);
  out.SetDeviceID(MidiMapperId);
  EXPECT_EQ(out.ProductName(), "Tambrel");
  EXPECT_EQ(out.Technology(), MidiTechMapper);
  // A failing capability query keeps the new number and reports the service's text.
  service.CapsResult = MidiErrNoDevice;
  EXPECT_EQ(ErrorOf([&] { out.SetDeviceID(0); }), "The MIDI output port no longer exists");
  EXPECT_EQ(out.DeviceID(), 0u);
  EXPECT_EQ(out.Error(), MidiErrNoDevice);
  service.CapsResult = 999;  // a code without a text
  EXPECT_EQ(ErrorOf([&] { out.SetDeviceID(0); }), "Specified error number is out of range");
}

TEST(MidiOutputTest, SelectionByName) {
  TRecordingService service({"Synth A", "Tambrel", "Synth B"});
  TMidiOutput out(service);
  out.SetProductName("Synth B");
  EXPECT_EQ(out.DeviceID(), 2u);
  // Ports are searched before the mapper, so a port with the mapper's name wins.
  out.SetProductName("Tambrel");
  EXPECT_EQ(out.DeviceID(), 1u);
  EXPECT_EQ(ErrorOf([&] { out.SetProductName("synth a"); }), "MIDI output Device 'synth a' not installed");
  EXPECT_EQ(out.DeviceID(), 1u);
  out.SetLoading(true);
  out.SetProductName("nothing of that name");
  EXPECT_EQ(out.DeviceID(), 1u);
  out.SetLoading(false);

  TRecordingService empty({});
  TMidiOutput mapperOnly(empty);
  EXPECT_EQ(mapperOnly.NumDevs(), 0);
  mapperOnly.SetProductName("Tambrel");
  EXPECT_EQ(mapperOnly.DeviceID(), MidiMapperId);
  EXPECT_EQ(ErrorOf([&] { mapperOnly.SetDeviceID(0); }), "Invalid MIDI out device ID");
}

TEST(MidiOutputTest, OpenCloseAndChangesWhileOpen) {
  TRecordingService service({"Synth A", "Synth B"});
  TMidiOutput out(service);
  EXPECT_FALSE(out.Close());
  out.SetProductName("Synth B");
  EXPECT_TRUE(out.Open());
  EXPECT_EQ(out.State(), TMidiState::Open);
  EXPECT_EQ(ErrorOf([&] { out.SetDeviceID(0); }), "Change to MIDI out Device ID while device was open");
  EXPECT_EQ(ErrorOf([&] { out.SetProductName("Synth A"); }),
            "Change to ProductName while MIDI out device was open");
  EXPECT_TRUE(out.Close());
  EXPECT_EQ(out.State(), TMidiState::Closed);
  EXPECT_FALSE(out.Close());
  EXPECT_EQ(service.Calls, (std::vector<std::string>{"open 1 as Tambrel output", "reset", "close"}));

  service.OpenResult = MidiErrNoSystem;
  EXPECT_EQ(ErrorOf([&] { out.Open(); }),
            "No MIDI system is running (neither the ALSA sequencer nor a JACK server)");
  EXPECT_EQ(out.State(), TMidiState::Closed);
  service.OpenResult = MidiErrNone;

  // A close that fails still leaves the port closed (and reports the failure).
  out.Open();
  service.CloseResult = MidiErrGeneral;
  EXPECT_EQ(ErrorOf([&] { out.Close(); }), "Unspecified MIDI system error");
  EXPECT_EQ(out.State(), TMidiState::Closed);
  EXPECT_EQ(service.OpenPorts, 0);
}

TEST(MidiOutputTest, OpenFollowsTheNameWhenThePortListChanged) {
  TRecordingService service({"Synth A", "Synth B"});
  TMidiOutput out(service);
  out.SetProductName("Synth B");
  service.Names = {"Synth B"};
  out.Open();
  EXPECT_EQ(out.DeviceID(), 0u);
  EXPECT_EQ(service.Calls.back(), "open 0 as Tambrel output");
  out.Close();
  service.Names = {"Synth C"};
  EXPECT_EQ(ErrorOf([&] { out.Open(); }), "MIDI output Device 'Synth B' not installed");
  EXPECT_EQ(out.State(), TMidiState::Closed);
}

TEST(MidiOutputTest, ShortAndLongMessages) {
  TRecordingService service({"Synth"});
  TMidiOutput out(service);
  // Closed: the service's invalid-handle text, no state test of its own.
  EXPECT_EQ(ErrorOf([&] { out.PutShort(0x90, 60, 100); }), "The MIDI output port is not open");
  EXPECT_EQ(out.Error(), MidiErrInvalidHandle);
  const uint8_t note[] = {0x90, 0x3C, 0x64};
  EXPECT_EQ(ErrorOf([&] { out.PutLong(note, 3); }), "The MIDI output port is not open");
  EXPECT_EQ(ErrorOf([&] { out.PutLong(note, 0); }), "no error");

  out.Open();
  out.PutShort(144, 60, 100);
  out.PutLong(note, 3);
  out.PutLong(note, 0);
  const uint8_t zeros[] = {0xF0, 0, 0, 0xF7};
  out.PutLong(zeros, 4);
  ASSERT_EQ(service.Sent.size(), 3u);
  EXPECT_FALSE(service.Sent[0].Long);
  EXPECT_EQ(service.Sent[0].Packed, 6569104u);
  EXPECT_TRUE(service.Sent[1].Long);
  EXPECT_EQ(service.Sent[1].Messages, (std::vector<std::vector<uint8_t>>{{0x90, 0x3C, 0x64}}));
  EXPECT_EQ(service.Sent[2].Messages, (std::vector<std::vector<uint8_t>>{{0xF0, 0, 0, 0xF7}}));
  EXPECT_EQ(service.Held.size(), 2u);

  service.SendResult = MidiErrBufferFull;
  EXPECT_EQ(ErrorOf([&] { out.PutLong(note, 3); }),
            "The MIDI output buffer is full; the message was not sent");
  EXPECT_EQ(out.Error(), MidiErrBufferFull);
  service.SendResult = MidiErrNone;
  out.PutShort(0xB0, 7, 1);
  EXPECT_EQ(out.Error(), 0);
}

TEST(MidiOutputTest, EventRecords) {
  TRecordingService service({"Synth"});
  TMidiOutput out(service);
  TMidiEvent shortEvent{0xC0, 5, 0, 0, 0, nullptr};
  EXPECT_EQ(ErrorOf([&] { out.PutMidiEvent(shortEvent); }), "MIDI Output device not open");
  out.Open();
  out.PutMidiEvent(shortEvent);
  const uint8_t sysex[] = {0xF0, 0x7E, 0xF7};
  out.PutMidiEvent(TMidiEvent{0x90, 1, 2, 0, 3, sysex});
  ASSERT_EQ(service.Sent.size(), 2u);
  EXPECT_EQ(service.Sent[0].Packed, 0x05C0u);
  EXPECT_EQ(service.Sent[1].Messages, (std::vector<std::vector<uint8_t>>{{0xF0, 0x7E, 0xF7}}));
}

TEST(MidiOutputTest, CompletionNoticesOnTheDrainingThread) {
  TRecordingService service({"Synth"});
  TMidiOutput out(service);
  int calls = 0;
  std::thread::id where;
  out.Onmidioutput = [&](TMidiOutput& sender) {
    EXPECT_EQ(&sender, &out);
    ++calls;
    where = std::this_thread::get_id();
  };
  out.Open();
  const uint8_t bytes[] = {0x90, 60, 1, 0x80, 60, 0};
  for (int i = 0; i < 5; ++i) out.PutLong(bytes, 6);
  out.PutShort(0xF8, 0, 0);
  EXPECT_EQ(out.Drain(), 0u);
  std::thread driver([&] { service.CompleteAll(); });
  driver.join();
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(out.Drain(), 5u);
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(where, std::this_thread::get_id());
  // Buffers in flight at Close still come back and are counted.
  out.PutLong(bytes, 3);
  out.Close();
  service.CompleteAll();
  EXPECT_EQ(out.Drain(), 1u);
  EXPECT_EQ(calls, 6);
}

TEST(MidiOutputTest, DeadPortIsClosedAndReportedOnce) {
  TRecordingService service({"Synth"});
  TMidiOutput out(service);
  std::vector<std::string> errors;
  out.OnPortError = [&](TMidiOutput&, const std::string& text) { errors.push_back(text); };
  out.Open();
  service.KillPort(TMidiResult(MidiErrPortGone));
  service.KillPort(TMidiResult(MidiErrPortGone));
  out.Drain();
  EXPECT_EQ(out.State(), TMidiState::Closed);
  EXPECT_EQ(out.Error(), MidiErrPortGone);
  EXPECT_EQ(errors,
            (std::vector<std::string>{"The MIDI system of this port has gone away; the port was closed"}));
  // A late notice of an earlier opening does not close the next one.
  out.Open();
  service.KillPort(TMidiResult(MidiErrPortGone));
  out.Close();
  out.Open();
  out.Drain();
  EXPECT_EQ(out.State(), TMidiState::Open);
  EXPECT_EQ(errors.size(), 1u);
}

// Every failure keeps the system's own words, however many different ones came before.
TEST(MidiOutputTest, ErrorsCarryTheSystemsText) {
  TRecordingService service({"Synth"});
  TMidiOutput out(service);
  for (int i = 0; i < 300; ++i) {
    const std::string text = "Cannot connect to port 128:" + std::to_string(i);
    service.OpenResult = TMidiResult(MidiErrSystem, text);
    EXPECT_EQ(ErrorOf([&] { out.Open(); }), text);
  }
  EXPECT_EQ(out.Error(), MidiErrSystem);
}

// The bytes of successive long messages are one wire: running status and an open system exclusive
// block carry on, a broken message is dropped and reported once per call, the rest is sent.
TEST(MidiOutputTest, LongMessagesContinueOneWire) {
  using TWire = std::vector<std::vector<uint8_t>>;
  struct TCase {
    std::vector<std::vector<uint8_t>> Calls;
    TWire Sent;
    std::vector<std::string> Reports;  // per call, "" for none
    size_t Limit = 0;
  };
  const std::string lone = "1 MIDI byte dropped, not part of a complete message: ";
  const TCase cases[] = {
      {{{0x90, 0x3C, 0x80, 0x3C, 0x00}},
       {{0x80, 0x3C, 0x00}},
       {"2 MIDI bytes dropped, not part of a complete message: 90 3C"}},
      {{{0x90, 0x3C, 0x64}, {0x3E, 0x64}}, {{0x90, 0x3C, 0x64}, {0x90, 0x3E, 0x64}}, {"", ""}},
      {{{0xF0, 0x43, 0x10}, {0xF8, 0x4C, 0xF7, 0xC0}, {5}},
       {{0xF8}, {0xF0, 0x43, 0x10, 0x4C, 0xF7}, {0xC0, 5}},
       {"", "", ""}},
      {{{0x40, 0x90, 0x3C}, {0x64}}, {{0x90, 0x3C, 0x64}}, {lone + "40", ""}},
      {{{0xF7, 0xF4, 0xF6}}, {{0xF6}}, {"2 MIDI bytes dropped, not part of a complete message: F7 F4"}},
      {{{0xF0, 1, 2, 3}, {4, 0xF7, 0xF0, 1, 0xF7}},
       {{0xF0, 1, 0xF7}},
       {"", "a system exclusive block longer than the 5 bytes the MIDI port takes was dropped"},
       5},
  };
  for (const TCase& c : cases) {
    TRecordingService service({"Synth"});
    service.MaxMessage = c.Limit;
    TMidiOutput out(service);
    out.Open();
    std::vector<std::string> reports;
    for (const auto& call : c.Calls)
      reports.push_back(ErrorOf([&] { out.PutLong(call.data(), static_cast<uint16_t>(call.size())); }));
    for (std::string& r : reports)
      if (r == "no error") r.clear();
    EXPECT_EQ(service.Wire(), c.Sent) << c.Calls.size();
    EXPECT_EQ(reports, c.Reports);
  }
  // What was sent is said apart from what was dropped; the wire starts afresh with every opening.
  TRecordingService service({"Synth"});
  TMidiOutput out(service);
  out.Open();
  const uint8_t stray[] = {0x40}, broken[] = {0x90, 0x3C, 0x80, 0x3C, 0x00}, open[] = {0x90, 0x3C};
  auto sent = [&](const uint8_t* bytes, uint16_t length) {
    try {
      return out.PutLong(bytes, length);
    } catch (const EMidiBytesDropped& e) {
      return e.Sent;
    }
  };
  EXPECT_FALSE(sent(stray, 1));
  EXPECT_TRUE(sent(broken, 5));
  EXPECT_FALSE(sent(open, 2));
  out.Close();
  out.Open();
  EXPECT_EQ(ErrorOf([&] { out.PutLong(stray, 1); }), lone + "40");
}

TEST(MidiOutputTest, HeldNotesAreReleasedOnRequestAndOnClose) {
  TRecordingService service({"Synth"});
  TMidiOutput out(service);
  out.Open();
  const uint8_t play[] = {0x90, 60, 100, 62,   100, 64,  0,    0x99, 36, 90,
                          0x80, 62, 0,   0xB0, 7,   100, 0x91, 60,   1};
  out.PutLong(play, sizeof play);
  out.PutShort(0x92, 70, 80);
  const size_t before = service.Wire().size();
  EXPECT_EQ(out.ReleaseHeldNotes(), 4u);
  std::vector<std::vector<uint8_t>> wire = service.Wire();
  EXPECT_EQ(std::vector<std::vector<uint8_t>>(wire.begin() + static_cast<std::ptrdiff_t>(before), wire.end()),
            (std::vector<std::vector<uint8_t>>{{0x80, 60, 0}, {0x81, 60, 0}, {0x82, 70, 0}, {0x89, 36, 0}}));
  EXPECT_EQ(out.ReleaseHeldNotes(), 0u);
  // A send that failed switched nothing on.
  service.SendResult = MidiErrBufferFull;
  EXPECT_NE(ErrorOf([&] { out.PutShort(0x90, 50, 100); }), "no error");
  service.SendResult = MidiErrNone;
  out.PutShort(0x90, 51, 100);
  out.Close();
  wire = service.Wire();
  EXPECT_EQ(wire.back(), (std::vector<uint8_t>{0x80, 51, 0}));
  EXPECT_EQ(service.Calls.back(), "close");
}

TEST(MidiOutputTest, ReceiverNoticesNameThePort) {
  TRecordingService service({"Synth"});
  TMidiOutput out(service);
  std::vector<std::string> notices;
  out.OnPortNotice = [&](TMidiOutput&, const std::string& text) { notices.push_back(text); };
  out.SetProductName("Synth");
  out.Open();
  for (TMidiReceiver r : {TMidiReceiver::Gone, TMidiReceiver::Unchanged, TMidiReceiver::Back}) {
    service.Receiver = r;
    out.Drain();
  }
  EXPECT_EQ(notices, (std::vector<std::string>{"the MIDI port \"Synth\" has gone",
                                               "the MIDI port \"Synth\" is back"}));
  EXPECT_EQ(out.State(), TMidiState::Open);
}

TEST(MidiOutputTest, PortIsNeverClosedOrReselectedDuringASend) {
  TRecordingService service({"Synth A", "Synth B"});
  service.SendDelayUs = 50;
  TMidiOutput out(service);
  out.Open();
  std::atomic<bool> stop{false};
  std::atomic<int> sent{0};
  std::thread player([&] {
    const uint8_t bytes[] = {0x90, 60, 100};
    while (!stop.load()) {
      try {
        out.PutLong(bytes, 3);
        ++sent;
      } catch (const EmidioutputError& e) {
        EXPECT_STREQ(e.what(), "The MIDI output port is not open");
      }
    }
  });
  // Reselect at least 200 times and until the sender has got through a good number of sends, so the
  // two threads really overlap however the scheduler runs them.
  for (int i = 0; i < 200 || sent.load() < 50; ++i) {
    out.Close();
    out.SetProductName(i % 2 ? "Synth A" : "Synth B");
    out.Open();
    service.CompleteAll();
    out.Drain();
  }
  stop = true;
  player.join();
  out.Close();
  std::lock_guard<std::mutex> lock(service.Lock);
  EXPECT_EQ(service.CloseDuringSend, 0);
  EXPECT_EQ(service.OpenPorts, 0);
  EXPECT_GT(sent.load(), 0);
}

}  // namespace
}  // namespace tambrel
