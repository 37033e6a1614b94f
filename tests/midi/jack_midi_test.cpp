// The MIDI system service on a real JACK server of the test's own (dummy driver), with the tests' JACK
// reader client receiving.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "jack_fixture.h"
#include "jack_reader.h"
#include "midi/midi_backend.h"
#include "midi/midi_output.h"
#include "recording_service.h"

namespace tambrel {
namespace {

using TBytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// Bound for anything that must not hang; generous, so that a loaded machine does not fail the test.
constexpr auto NoHang = 10s;

std::vector<std::string> Listed(TMidiOutService& service) {
  std::vector<std::string> names;
  for (uint32_t i = 0, count = service.GetNumDevs(); i < count; ++i) {
    TMidiOutCaps caps;
    EXPECT_TRUE(service.GetDevCaps(i, caps).Ok());
    names.push_back(caps.ProductName);
  }
  return names;
}

// Runs f on a thread of its own and waits for it at most NoHang; false when it did not end in time
// (the thread is then left behind, the test has failed anyway).
template <typename F>
bool EndsInTime(F f) {
  std::packaged_task<void()> task(std::move(f));
  std::future<void> ended = task.get_future();
  std::thread(std::move(task)).detach();
  return ended.wait_for(NoHang) == std::future_status::ready;
}

// Runs step every pause until it says it is done, for a little less than NoHang.
template <typename F>
void Poll(F step, std::chrono::milliseconds pause) {
  const auto deadline = std::chrono::steady_clock::now() + NoHang - 1s;
  while (!step() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(pause);
}

// The service as the program makes it: the ALSA sequencer and JACK together.
std::unique_ptr<TMidiOutService> WithAlsa(std::unique_ptr<TMidiBackend> jack) {
  std::vector<std::unique_ptr<TMidiBackend>> backends;
  backends.push_back(MakeAlsaBackend());
  backends.push_back(std::move(jack));
  return MakeCombinedMidiService(std::move(backends));
}

class JackMidiTest : public ::testing::Test {
 protected:
  std::unique_ptr<TJackServer> Server = std::make_unique<TJackServer>();
  // Destroyed before the server it talks to.
  std::unique_ptr<TMidiOutService> Service = WithAlsa(MakeJackBackend(Server->Name()));
};

// Closing right after the last send is what the player does when it stops: what was sent still arrives.
TEST_F(JackMidiTest, ListsInputsAndDeliversEveryKindOfMessageAsOneEventEachInOrder) {
  TJackReader reader(Server->Name());
  const std::vector<std::string> names = Listed(*Service);
  EXPECT_NE(std::find(names.begin(), names.end(), TJackReader::Listed), names.end());
  // Only MIDI inputs: the dummy driver's audio ports and the listing client itself are not offered.
  for (const std::string& name : names) EXPECT_EQ(name.find("system:"), std::string::npos) << name;
  TMidiOutCaps mapper;
  ASSERT_TRUE(Service->GetDevCaps(MidiMapperId, mapper).Ok());
  EXPECT_EQ(mapper.ProductName, "Tambrel");

  TMidiOutput out(*Service);
  size_t completed = 0;
  out.Onmidioutput = [&](TMidiOutput&) { ++completed; };
  out.SetProductName(TJackReader::Listed);
  ASSERT_TRUE(out.Open());
  out.PutShort(0x90, 0x3C, 0x64);
  out.PutShort(0xB0, 0x07, 0x50);
  out.PutShort(0xC0, 0x05, 0x7F);  // a program change has one data byte: the second is not sent
  out.PutShort(0x80, 0x3C, 0x00);
  const TBytes sysex{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  out.PutLong(sysex.data(), static_cast<uint16_t>(sysex.size()));
  // Running status, a clock byte between messages and inside a sysex, a program change pair.
  const TBytes stream{0x91, 0x40, 0x50, 0x43, 0x50, 0xF8, 0x47, 0x50, 0xC1, 0x10,
                      0x11, 0xF0, 0x01, 0xF8, 0x02, 0xF7, 0xE1, 0x00, 0x40};
  out.PutLong(stream.data(), static_cast<uint16_t>(stream.size()));
  const TBytes note{0x92, 0x30, 0x20};
  out.PutMidiEvent({0, 0, 0, 0, static_cast<uint16_t>(note.size()), note.data()});
  out.PutMidiEvent({0x82, 0x30, 0x00, 0, 0, nullptr});
  // A short message needs a status that begins one: a data byte or the start of a sysex does not.
  const std::string invalid = "Invalid parameter passed to the MIDI output port";
  EXPECT_EQ(ErrorOf([&] { out.PutShort(0x3C, 0x64, 0); }), invalid);
  EXPECT_EQ(ErrorOf([&] { out.PutShort(0xF0, 0x01, 0); }), invalid);
  // A system exclusive block too long for one period's port buffer cannot travel as one event: the
  // send fails with a text saying so rather than the block vanishing; shorter blocks still arrive.
  TBytes huge(60000, 0x11), fits(200, 0x22);
  huge.front() = fits.front() = 0xF0;
  huge.back() = fits.back() = 0xF7;
  const std::string error = ErrorOf([&] { out.PutLong(huge.data(), static_cast<uint16_t>(huge.size())); });
  EXPECT_NE(error.find("a system exclusive block longer than the"), std::string::npos) << error;
  out.PutLong(fits.data(), static_cast<uint16_t>(fits.size()));
  // Stopped in the middle of held notes: exactly their note-offs arrive, then nothing.
  EXPECT_EQ(out.ReleaseHeldNotes(), 3u);
  out.PutShort(0xFC, 0, 0);
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(out.Drain(), 4u);
  EXPECT_EQ(completed, 4u);

  // What the short messages and the system exclusive block, the stream, then the events, the block that
  // fits and the release of the held notes send, in this order.
  std::vector<TBytes> expected = {
      {0x90, 0x3C, 0x64}, {0xB0, 0x07, 0x50}, {0xC0, 0x05}, {0x80, 0x3C, 0x00}, sysex};
  const std::vector<TBytes> streamed = {
      {0x91, 0x40, 0x50}, {0x91, 0x43, 0x50}, {0xF8}, {0x91, 0x47, 0x50},
      {0xC1, 0x10},       {0xC1, 0x11},       {0xF8}, {0xF0, 0x01, 0x02, 0xF7},
      {0xE1, 0x00, 0x40}};
  const std::vector<TBytes> ending = {
      note, {0x82, 0x30, 0x00}, fits, {0x81, 0x40, 0x00}, {0x81, 0x43, 0x00}, {0x81, 0x47, 0x00}, {0xFC}};
  for (const auto* part : {&streamed, &ending}) expected.insert(expected.end(), part->begin(), part->end());
  EXPECT_EQ(reader.CollectBytes(expected.size()), expected);
}

// More events than one period's port buffer holds: the rest follow in the next periods, none lost,
// none reordered, and within a period the offsets never go back.
TEST_F(JackMidiTest, ABufferOfMoreEventsThanAPeriodTakesArrivesWhole) {
  TJackReader reader(Server->Name());
  TMidiOutput out(*Service);
  out.SetProductName(TJackReader::Listed);
  out.Open();
  TBytes stream{0xA0};  // aftertouch: no held notes to switch off at the close
  std::vector<TBytes> expected;
  // About three periods' worth: enough to span periods, few enough that the closing wait covers the
  // rest even on a loaded machine under the sanitizers.
  while (expected.size() < 6000) {
    const auto key = static_cast<uint8_t>(expected.size() % 128);
    const auto velocity = static_cast<uint8_t>(expected.size() / 128 % 128);
    stream.insert(stream.end(), {key, velocity});
    expected.push_back({0xA0, key, velocity});
  }
  out.PutLong(stream.data(), static_cast<uint16_t>(stream.size()));
  out.PutShort(0xFC, 0, 0);
  expected.push_back({0xFC});
  out.Close();

  const std::vector<TJackReader::TEvent> received = reader.Collect(expected.size());
  ASSERT_EQ(received.size(), expected.size()) << reader.Xruns() << " late periods reported";
  for (size_t i = 0; i < received.size(); ++i) {
    ASSERT_EQ(received[i].Bytes, expected[i]) << "event " << i;
    ASSERT_GE(received[i].Frame, received[i > 0 ? i - 1 : 0].Frame) << "event " << i;
  }
  EXPECT_GT(received.back().Period, received.front().Period);
}

// One virtual port for every output that selects it, kept while outputs switch off and on, so that
// the connection another program made to it stays.
TEST_F(JackMidiTest, TheVirtualPortIsOneAndKeepsItsConnections) {
  TJackReader reader(Server->Name());
  TMidiOutput first(*Service), second(*Service);
  first.SetDeviceID(MidiMapperId);
  second.SetDeviceID(MidiMapperId);
  ASSERT_TRUE(first.Open());
  ASSERT_TRUE(second.Open());
  ASSERT_TRUE(Server->WaitForPort("Tambrel:Tambrel", 10000));
  TChildOptions options;
  options.ExtraEnvironment = Server->Environment();
  options.TimeoutMs = 10000;
  const TChildResult connect =
      RunChild({"/usr/bin/jack_connect", "Tambrel:Tambrel", TJackReader::InputPort}, options);
  ASSERT_EQ(connect.ExitStatus, 0) << connect.Out << connect.Err;
  ASSERT_TRUE(reader.WaitUntilConnected([&] { first.PutShort(0xFE, 0, 0); }));
  first.Close();
  second.Close();
  ASSERT_TRUE(first.Open());
  first.PutShort(0x99, 0x24, 0x7F);
  second.Open();
  const TBytes sysex{0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
  second.PutLong(sysex.data(), static_cast<uint16_t>(sysex.size()));
  EXPECT_EQ(reader.CollectBytes(2, true), (std::vector<TBytes>{{0x99, 0x24, 0x7F}, sysex}));
  int virtualPorts = 0;
  for (const std::string& port : Server->Ports()) virtualPorts += port.rfind("Tambrel", 0) == 0;
  EXPECT_EQ(virtualPorts, 1);
}

// The receiver quits in the middle of play and starts again: the output says so both times,
// connects again, and the later notes arrive.
TEST_F(JackMidiTest, AReceiverThatGoesAndComesBackGetsTheLaterNotes) {
  auto reader = std::make_unique<TJackReader>(Server->Name());
  TMidiOutput out(*Service);
  std::vector<std::string> notices;
  out.OnPortNotice = [&](TMidiOutput&, const std::string& text) { notices.push_back(text); };
  out.SetProductName(TJackReader::Listed);
  ASSERT_TRUE(out.Open());
  out.PutShort(0x90, 60, 100);
  EXPECT_EQ(reader->CollectBytes(1), (std::vector<TBytes>{{0x90, 60, 100}}));
  reader.reset();
  out.PutShort(0x90, 61, 100);  // sent while nobody listens
  auto drainUntil = [&](size_t count) { Poll([&] { return out.Drain(), notices.size() >= count; }, 5ms); };
  drainUntil(1);
  reader = std::make_unique<TJackReader>(Server->Name());
  drainUntil(2);
  const std::string name = "\"" + std::string(TJackReader::Listed) + "\"";
  EXPECT_EQ(notices, (std::vector<std::string>{"the MIDI port " + name + " has gone",
                                               "the MIDI port " + name + " is back"}));
  ASSERT_TRUE(reader->WaitUntilConnected([&] { out.PutShort(0xFE, 0, 0); }));
  out.PutShort(0x90, 62, 100);
  // The note sent while nobody listened is still queued if no period ran before the receiver came back.
  std::vector<TBytes> later = reader->CollectBytes(1, true);
  if (later.front() == TBytes{0x90, 61, 100}) later = reader->CollectBytes(2, true);
  EXPECT_EQ(later.back(), (TBytes{0x90, 62, 100}));
}

TEST_F(JackMidiTest, AServerThatGoesAwayClosesThePortWithAnErrorAndSendingNeverBlocks) {
  TMidiOutput out(*Service);
  out.SetDeviceID(MidiMapperId);
  ASSERT_TRUE(out.Open());
  out.PutShort(0x90, 0x3C, 0x64);
  Server.reset();

  // The player's thread keeps sending: every send returns, and once the port knows, with an error.
  std::string sendError;
  ASSERT_TRUE(EndsInTime([&] {
    Poll([&] { return (sendError = ErrorOf([&] { out.PutShort(0x80, 0x3C, 0x00); })) != "no error"; }, 1ms);
  }));
  EXPECT_EQ(sendError, "The MIDI system of this port has gone away; the port was closed");

  // The window thread learns of it from the completion queue and closes the port.
  std::vector<std::string> reported;
  out.OnPortError = [&](TMidiOutput& sender, const std::string& text) {
    EXPECT_EQ(&sender, &out);
    reported.push_back(text);
  };
  ASSERT_TRUE(EndsInTime([&] { Poll([&] { return out.Drain(), !reported.empty(); }, 5ms); }));
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_NE(reported[0].find("The JACK server has shut down"), std::string::npos) << reported[0];
  EXPECT_EQ(out.State(), TMidiState::Closed);
  // With the server gone the listing offers no JACK port again, and does so at once.
  std::vector<std::string> names;
  ASSERT_TRUE(EndsInTime([&] { names = Listed(*Service); }));
  for (const std::string& name : names) EXPECT_EQ(name.find("(JACK)"), std::string::npos) << name;
}

// Needs no jackd: a server name nobody serves under.
TEST(JackMidiAbsentTest, NoServerMeansNoJackPortsAndNoHang) {
  auto jack = MakeJackBackend("tambrel-absent-" + std::to_string(::getpid()));
  TMidiResult opened;
  std::unique_ptr<TMidiOutPort> port;
  ASSERT_TRUE(EndsInTime(
      [&] { opened = jack->OpenVirtual([](std::unique_ptr<TMidiLongBuffer>, TMidiResult) {}, port); }));
  EXPECT_EQ(std::pair(opened.Code, port == nullptr), std::pair(MidiErrNoSystem, true));

  std::vector<std::string> names;
  ASSERT_TRUE(EndsInTime([&] { names = Listed(*WithAlsa(std::move(jack))); }));
  for (const std::string& name : names) EXPECT_EQ(name.find("(JACK)"), std::string::npos) << name;
}

}  // namespace
}  // namespace tambrel
