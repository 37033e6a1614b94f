#include "midi/midi_output.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>

#include "recording_service.h"

namespace tambrel {
namespace {

using TWire = std::vector<std::vector<uint8_t>>;

class MidiOutputTest : public ::testing::Test {
 protected:
  TRecordingService Service{{"Synth A", "Synth B"}};
  TMidiOutput Out{Service};
};

TEST_F(MidiOutputTest, SelectionByNumber) {
  EXPECT_EQ(std::tuple(Out.NumDevs(), Out.State(), Out.DeviceID(), Out.ProductName()),
            std::tuple(2, TMidiState::Closed, 0u, ""));
  Out.SetDeviceID(1);
  EXPECT_EQ(Out.ProductName(), "Synth B");
  EXPECT_EQ(ErrorOf([&] { Out.SetDeviceID(2); }), "Invalid MIDI out device ID");
  EXPECT_EQ(Out.DeviceID(), 1u);
  Out.SetDeviceID(MidiMapperId);
  EXPECT_EQ(std::tuple(Out.ProductName(), Out.Technology()), std::tuple("Tambrel", MidiTechMapper));
  // A failing capability query keeps the new number and reports the service's text.
  Service.CapsResult = MidiErrNoDevice;
  EXPECT_EQ(ErrorOf([&] { Out.SetDeviceID(0); }), "The MIDI output port no longer exists");
  EXPECT_EQ(std::tuple(Out.DeviceID(), Out.Error()), std::tuple(0u, MidiErrNoDevice));
  Service.CapsResult = 999;  // a code without a text
  EXPECT_EQ(ErrorOf([&] { Out.SetDeviceID(0); }), "Specified error number is out of range");
}

TEST_F(MidiOutputTest, SelectionByName) {
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

  TRecordingService empty({});
  TMidiOutput mapperOnly(empty);
  EXPECT_EQ(mapperOnly.NumDevs(), 0);
  mapperOnly.SetProductName("Tambrel");
  EXPECT_EQ(mapperOnly.DeviceID(), MidiMapperId);
  EXPECT_EQ(ErrorOf([&] { mapperOnly.SetDeviceID(0); }), "Invalid MIDI out device ID");
}

TEST_F(MidiOutputTest, OpenCloseChangesWhileOpenAndAChangedPortList) {
  EXPECT_FALSE(Out.Close());
  Out.SetProductName("Synth B");
  EXPECT_TRUE(Out.Open());
  EXPECT_EQ(ErrorOf([&] { Out.SetDeviceID(0); }), "Change to MIDI out Device ID while device was open");
  EXPECT_EQ(ErrorOf([&] { Out.SetProductName("Synth A"); }),
            "Change to ProductName while MIDI out device was open");
  EXPECT_TRUE(Out.Close());
  EXPECT_FALSE(Out.Close());
  EXPECT_EQ(Service.Calls, (std::vector<std::string>{"open 1 as Tambrel output", "reset", "close"}));

  Service.OpenResult = MidiErrNoSystem;
  EXPECT_EQ(ErrorOf([&] { Out.Open(); }),
            "No MIDI system is running (neither the ALSA sequencer nor a JACK server)");
  EXPECT_EQ(Out.State(), TMidiState::Closed);
  // Every failure keeps the system's own words, however many different ones came before.
  for (int i = 0; i < 300; ++i) {
    const std::string text = "Cannot connect to port 128:" + std::to_string(i);
    Service.OpenResult = TMidiResult(MidiErrSystem, text);
    EXPECT_EQ(ErrorOf([&] { Out.Open(); }), text);
  }
  EXPECT_EQ(Out.Error(), MidiErrSystem);
  Service.OpenResult = MidiErrNone;

  // A close that fails still leaves the port closed (and reports the failure).
  Out.Open();
  Service.CloseResult = MidiErrGeneral;
  EXPECT_EQ(ErrorOf([&] { Out.Close(); }), "Unspecified MIDI system error");
  EXPECT_EQ(std::tuple(Out.State(), Service.OpenPorts), std::tuple(TMidiState::Closed, 0));

  // Opening follows the name when the port list changed.
  Service.CloseResult = MidiErrNone;
  Out.SetProductName("Synth B");
  Service.Names = {"Synth B"};
  Out.Open();
  EXPECT_EQ(std::tuple(Out.DeviceID(), Service.Calls.back()), std::tuple(0u, "open 0 as Tambrel output"));
  Out.Close();
  Service.Names = {"Synth C"};
  EXPECT_EQ(ErrorOf([&] { Out.Open(); }), "MIDI output Device 'Synth B' not installed");
  EXPECT_EQ(Out.State(), TMidiState::Closed);
}

TEST_F(MidiOutputTest, ShortLongAndEventMessages) {
  // Closed: the service's invalid-handle text, no state test of its own; events have their own.
  EXPECT_EQ(ErrorOf([&] { Out.PutShort(0x90, 60, 100); }), "The MIDI output port is not open");
  EXPECT_EQ(Out.Error(), MidiErrInvalidHandle);
  const uint8_t note[] = {0x90, 0x3C, 0x64};
  EXPECT_EQ(ErrorOf([&] { Out.PutLong(note, 3); }), "The MIDI output port is not open");
  EXPECT_EQ(ErrorOf([&] { Out.PutLong(note, 0); }), "no error");
  EXPECT_EQ(ErrorOf([&] { Out.PutMidiEvent({0xC0, 5, 0, 0, 0, nullptr}); }), "MIDI Output device not open");

  Out.Open();
  Out.PutShort(144, 60, 100);
  Out.PutLong(note, 3);
  Out.PutLong(note, 0);
  const uint8_t zeros[] = {0xF0, 0, 0, 0xF7};
  Out.PutLong(zeros, 4);
  Out.PutMidiEvent({0xC0, 5, 0, 0, 0, nullptr});
  Out.PutMidiEvent({0x90, 1, 2, 0, 3, note});
  EXPECT_EQ(Service.Sent,
            (TWire{{0x90, 60, 100}, {0x90, 60, 100}, {0xF0, 0, 0, 0xF7}, {0xC0, 5, 0}, {0x90, 60, 100}}));
  EXPECT_EQ(Service.Held.size(), 3u);

  Service.SendResult = MidiErrBufferFull;
  EXPECT_EQ(ErrorOf([&] { Out.PutLong(note, 3); }),
            "The MIDI output buffer is full; the message was not sent");
  EXPECT_EQ(Out.Error(), MidiErrBufferFull);
  Service.SendResult = MidiErrNone;
  Out.PutShort(0xB0, 7, 1);
  EXPECT_EQ(Out.Error(), 0);
}

TEST_F(MidiOutputTest, CompletionNoticesOnTheDrainingThread) {
  std::vector<std::thread::id> calls;  // the thread of each notice
  Out.Onmidioutput = [&](TMidiOutput& sender) {
    EXPECT_EQ(&sender, &Out);
    calls.push_back(std::this_thread::get_id());
  };
  Out.Open();
  const uint8_t bytes[] = {0x90, 60, 1, 0x80, 60, 0};
  for (int i = 0; i < 5; ++i) Out.PutLong(bytes, 6);
  Out.PutShort(0xF8, 0, 0);
  EXPECT_EQ(Out.Drain(), 0u);
  std::thread([&] { Service.CompleteAll(); }).join();
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(Out.Drain(), 5u);
  EXPECT_EQ(calls, std::vector(5, std::this_thread::get_id()));
  // Buffers in flight at Close still come back and are counted.
  Out.PutLong(bytes, 3);
  Out.Close();
  Service.CompleteAll();
  EXPECT_EQ(Out.Drain(), 1u);
  EXPECT_EQ(calls.size(), 6u);
}

TEST_F(MidiOutputTest, DeadPortIsClosedAndReportedOnce) {
  std::vector<std::string> errors;
  Out.OnPortError = [&](TMidiOutput&, const std::string& text) { errors.push_back(text); };
  Out.Open();
  Service.Done(nullptr, MidiErrPortGone);
  Service.Done(nullptr, MidiErrPortGone);
  Out.Drain();
  EXPECT_EQ(std::tuple(Out.State(), Out.Error()), std::tuple(TMidiState::Closed, MidiErrPortGone));
  EXPECT_EQ(errors,
            (std::vector<std::string>{"The MIDI system of this port has gone away; the port was closed"}));
  // A late notice of an earlier opening does not close the next one.
  Out.Open();
  Service.Done(nullptr, MidiErrPortGone);
  Out.Close();
  Out.Open();
  Out.Drain();
  EXPECT_EQ(std::tuple(Out.State(), errors.size()), std::tuple(TMidiState::Open, 1u));
}

// The bytes of successive long messages are one wire: running status and an open system exclusive
// block carry on, a broken message is dropped and reported once per call, the rest is sent; each call
// says whether it sent anything, also when it reports what it dropped.
TEST_F(MidiOutputTest, LongMessagesContinueOneWire) {
  struct TCase {
    TWire Calls;
    TWire Sent;
    std::vector<std::string> Results;  // per call: "sent" when it sent anything, then what it reported
    size_t Limit = 0;
  };
  const std::string lone = "1 MIDI byte dropped, not part of a complete message: ";
  const std::string two = "2 MIDI bytes dropped, not part of a complete message: ";
  const TCase cases[] = {
      {{{0x90, 0x3C, 0x80, 0x3C, 0x00}}, {{0x80, 0x3C, 0x00}}, {"sent, " + two + "90 3C"}},
      {{{0x90, 0x3C, 0x64}, {0x3E, 0x64}}, {{0x90, 0x3C, 0x64}, {0x90, 0x3E, 0x64}}, {"sent", "sent"}},
      {{{0xF0, 0x43, 0x10}, {0xF8, 0x4C, 0xF7, 0xC0}, {5}},
       {{0xF8}, {0xF0, 0x43, 0x10, 0x4C, 0xF7}, {0xC0, 5}},
       {"", "sent", "sent"}},
      {{{0x40, 0x90, 0x3C}, {0x64}}, {{0x90, 0x3C, 0x64}}, {lone + "40", "sent"}},
      {{{0xF7, 0xF4, 0xF6}}, {{0xF6}}, {"sent, " + two + "F7 F4"}},
      {{{0xF0, 1, 2, 3}, {4, 0xF7, 0xF0, 1, 0xF7}},
       {{0xF0, 1, 0xF7}},
       {"", "sent, a system exclusive block longer than the 5 bytes the MIDI port takes was dropped"},
       5},
  };
  for (const TCase& c : cases) {
    TRecordingService service({"Synth"});
    service.MaxMessage = c.Limit;
    TMidiOutput out(service);
    out.Open();
    std::vector<std::string> results;
    for (const auto& call : c.Calls) {
      try {
        results.push_back(out.PutLong(call.data(), static_cast<uint16_t>(call.size())) ? "sent" : "");
      } catch (const EMidiBytesDropped& e) {
        results.push_back((e.Sent ? "sent, " : "") + std::string(e.what()));
      }
    }
    EXPECT_EQ(service.Sent, c.Sent) << c.Calls.size();
    EXPECT_EQ(results, c.Results);
  }
  // The wire starts afresh with every opening.
  Out.Open();
  const uint8_t open[] = {0x90, 0x3C}, stray[] = {0x40};
  Out.PutLong(open, 2);
  Out.Close();
  Out.Open();
  EXPECT_EQ(ErrorOf([&] { Out.PutLong(stray, 1); }), lone + "40");
  EXPECT_EQ(Out.Error(), MidiErrBytesDropped);
}

TEST_F(MidiOutputTest, HeldNotesAreReleasedOnRequestAndOnClose) {
  Out.Open();
  const uint8_t play[] = {0x90, 60, 100, 62,   100, 64,  0,    0x99, 36, 90,
                          0x80, 62, 0,   0xB0, 7,   100, 0x91, 60,   1};
  Out.PutLong(play, sizeof play);
  Out.PutShort(0x92, 70, 80);
  Service.Sent.clear();
  EXPECT_EQ(Out.ReleaseHeldNotes(), 4u);
  EXPECT_EQ(Service.Sent, (TWire{{0x80, 60, 0}, {0x81, 60, 0}, {0x82, 70, 0}, {0x89, 36, 0}}));
  EXPECT_EQ(Out.ReleaseHeldNotes(), 0u);
  // A send that failed switched nothing on.
  Service.SendResult = MidiErrBufferFull;
  EXPECT_NE(ErrorOf([&] { Out.PutShort(0x90, 50, 100); }), "no error");
  Service.SendResult = MidiErrNone;
  Out.PutShort(0x90, 51, 100);
  Service.Sent.clear();
  Out.Close();
  EXPECT_EQ(Service.Sent, (TWire{{0x80, 51, 0}}));
}

TEST_F(MidiOutputTest, ReceiverNoticesNameThePort) {
  std::vector<std::string> notices;
  Out.OnPortNotice = [&](TMidiOutput&, const std::string& text) { notices.push_back(text); };
  Out.SetProductName("Synth A");
  Out.Open();
  for (TMidiReceiver r : {TMidiReceiver::Gone, TMidiReceiver::Unchanged, TMidiReceiver::Back}) {
    Service.Receiver = r;
    Out.Drain();
  }
  EXPECT_EQ(notices, (std::vector<std::string>{"the MIDI port \"Synth A\" has gone",
                                               "the MIDI port \"Synth A\" is back"}));
  EXPECT_EQ(Out.State(), TMidiState::Open);
}

TEST_F(MidiOutputTest, PortIsNeverClosedOrReselectedDuringASend) {
  Service.SendDelayUs = 50;
  Out.Open();
  std::atomic<bool> stop{false};
  std::atomic<int> sent{0};
  std::thread player([&] {
    const uint8_t bytes[] = {0x90, 60, 100};
    while (!stop.load()) {
      const std::string error = ErrorOf([&] { Out.PutLong(bytes, 3); });
      EXPECT_TRUE(error == "no error" || error == "The MIDI output port is not open") << error;
      sent += error == "no error";
    }
  });
  // Reselect at least 200 times and until the sender has got through a good number of sends, so the
  // two threads really overlap however the scheduler runs them.
  for (int i = 0; i < 200 || sent.load() < 50; ++i) {
    Out.Close();
    Out.SetProductName(i % 2 ? "Synth A" : "Synth B");
    Out.Open();
    Service.CompleteAll();
    Out.Drain();
  }
  stop = true;
  player.join();
  Out.Close();
  EXPECT_EQ(Service.OpenPorts, 0);
}

}  // namespace
}  // namespace tambrel
