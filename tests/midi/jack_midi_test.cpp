// The MIDI system service on a real JACK server of the test's own (dummy driver), with jack_midi_dump
// as the receiving program.

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "jack_fixture.h"
#include "midi/midi_backend.h"
#include "midi/midi_output.h"
#include "midi_error_of.h"

namespace tambrel {
namespace {

using TBytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// Bound for anything that must not hang; generous, so that a loaded machine does not fail the test.
constexpr auto NoHang = 10s;

bool JackdInstalled() {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = dirs.substr(start, end - start);
    if (!dir.empty() && ::access((dir + "/jackd").c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

std::string Monitor() {
  return std::string(TJackMidiMonitor::InputPort) + " (JACK)";
}
std::string Reader() {
  return "tambrel-reader:in (JACK)";
}

std::vector<std::string> Listed(TMidiOutService& service) {
  std::vector<std::string> names;
  const uint32_t count = service.GetNumDevs();
  for (uint32_t i = 0; i < count; ++i) {
    TMidiOutCaps caps;
    EXPECT_EQ(service.GetDevCaps(i, caps), MidiErrNone);
    names.push_back(caps.ProductName);
  }
  return names;
}

std::string TextOf(uint16_t code) {
  std::string text;
  EXPECT_TRUE(TMidiErrorTexts::Global().TextOf(code, text)) << code;
  return text;
}

// Runs f on a thread of its own and waits for it at most NoHang; false when it did not end in time
// (the thread is then left behind, the test has failed anyway).
template <typename F>
bool EndsInTime(F f) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> ended = done->get_future();
  std::thread([f, done]() mutable {
    f();
    done->set_value();
  }).detach();
  return ended.wait_for(NoHang) == std::future_status::ready;
}

// The receiving program of the byte-for-byte tests: a JACK client of the test's own that keeps every
// event with the period it came in. jack_midi_dump cannot serve there: its small ring drops events of
// a busy period, and what it has not printed yet is lost when it is stopped.
//
// Its process callback reads the sender's port buffer in place, and JACK starts the next period on time
// even when a client is not done with the last one: a reader still copying then finds the sender
// refilling that buffer and loses or mixes up events. So the callback takes no lock and allocates
// nothing; it copies into storage reserved (and touched) up front and publishes the count.
class TJackReader {
 public:
  explicit TJackReader(const std::string& server) : Records(MaxEvents), Bytes(MaxBytes) {
    jack_status_t status{};
    Client =
        jack_client_open("tambrel-reader", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                         &status, server.c_str());
    if (Client == nullptr) throw std::runtime_error("the reader cannot join " + server);
    Port = jack_port_register(Client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(Client, &TJackReader::Process, this);
    jack_set_xrun_callback(Client, &TJackReader::Xrun, this);
    if (Port == nullptr || jack_activate(Client) != 0) throw std::runtime_error("the reader cannot start");
  }
  ~TJackReader() { jack_client_close(Client); }
  static constexpr const char* InputPort = "tambrel-reader:in";

  struct TEvent {
    TBytes Bytes;
    uint64_t Period;
    jack_nframes_t Offset;
  };
  // Waits (bounded) until count events came, then returns what came; active sensing (the probe of
  // WaitUntilConnected) is left out when asked.
  std::vector<TEvent> Collect(size_t count, bool withoutSensing = false) {
    const auto deadline = std::chrono::steady_clock::now() + NoHang;
    size_t seen = 0;
    size_t kept = 0;
    while (true) {
      const size_t now = Count.load(std::memory_order_acquire);
      for (; seen < now; ++seen)
        if (!withoutSensing || !IsSensing(Records[seen])) ++kept;
      if (kept >= count || std::chrono::steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(1ms);
    }
    EXPECT_FALSE(Full.load(std::memory_order_acquire))
        << "the reader's storage ran out; events were not kept";
    std::vector<TEvent> events;
    for (size_t i = 0; i < seen; ++i) {
      const TRecord& r = Records[i];
      if (withoutSensing && IsSensing(r)) continue;
      events.push_back({TBytes(Bytes.begin() + r.At, Bytes.begin() + r.At + r.Size), r.Period, r.Offset});
    }
    return events;
  }
  std::vector<TBytes> CollectBytes(size_t count, bool withoutSensing = false) {
    std::vector<TBytes> bytes;
    for (TEvent& e : Collect(count, withoutSensing)) bytes.push_back(std::move(e.Bytes));
    return bytes;
  }
  // A connection made by another program takes effect some periods later: probe with active sensing
  // until one arrives.
  bool WaitUntilConnected(TMidiOutput& out) {
    const auto deadline = std::chrono::steady_clock::now() + NoHang;
    while (std::chrono::steady_clock::now() < deadline) {
      out.PutShort(0xFE, 0, 0);
      for (int i = 0; i < 20; ++i) {
        if (Count.load(std::memory_order_acquire) != 0) return true;
        std::this_thread::sleep_for(1ms);
      }
    }
    return false;
  }
  // Periods the server reported as late (of any client): the likely reason when events are missing.
  int Xruns() const { return XrunCount.load(); }

 private:
  static constexpr size_t MaxEvents = 1 << 16;
  static constexpr size_t MaxBytes = 1 << 20;
  struct TRecord {
    size_t At;
    size_t Size;
    uint64_t Period;
    jack_nframes_t Offset;
  };

  bool IsSensing(const TRecord& r) const { return r.Size == 1 && Bytes[r.At] == 0xFE; }

  static int Process(jack_nframes_t nframes, void* self) {
    auto* reader = static_cast<TJackReader*>(self);
    void* in = jack_port_get_buffer(reader->Port, nframes);
    const uint32_t count = jack_midi_get_event_count(in);
    size_t n = reader->Count.load(std::memory_order_relaxed);
    for (uint32_t i = 0; i < count; ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, in, i) != 0) continue;
      if (n == MaxEvents || reader->Used + event.size > MaxBytes) {
        reader->Full.store(true, std::memory_order_release);
        break;
      }
      std::memcpy(reader->Bytes.data() + reader->Used, event.buffer, event.size);
      reader->Records[n++] = {reader->Used, event.size, reader->Periods, event.time};
      reader->Used += event.size;
    }
    reader->Count.store(n, std::memory_order_release);
    ++reader->Periods;
    return 0;
  }

  static int Xrun(void* self) {
    ++static_cast<TJackReader*>(self)->XrunCount;
    return 0;
  }

  jack_client_t* Client = nullptr;
  jack_port_t* Port = nullptr;
  // Sized (and so zeroed and touched) before activation; written only by the process thread, read
  // up to Count by the test.
  std::vector<TRecord> Records;
  std::vector<uint8_t> Bytes;
  std::atomic<size_t> Count{0};
  std::atomic<bool> Full{false};
  std::atomic<int> XrunCount{0};
  size_t Used = 0;       // process thread only
  uint64_t Periods = 0;  // process thread only
};

class JackMidiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!JackdInstalled())
      GTEST_SKIP() << "jackd is not installed: the JACK MIDI end-to-end tests do not run";
    Server = std::make_unique<TJackServer>();
    std::vector<std::unique_ptr<TMidiBackend>> backends;
    backends.push_back(MakeAlsaBackend());
    backends.push_back(MakeJackBackend(Server->Name()));
    Service = MakeCombinedMidiService(std::move(backends));
  }

  void Connect(const std::string& from, const std::string& to) {
    TChildOptions options;
    options.ExtraEnvironment = Server->Environment();
    options.TimeoutMs = 10000;
    const TChildResult result = RunChild({"/usr/bin/jack_connect", from, to}, options);
    ASSERT_EQ(result.ExitStatus, 0) << result.Out << result.Err;
  }

  std::unique_ptr<TJackServer> Server;
  std::unique_ptr<TMidiOutService> Service;  // goes before the server it talks to
};

TEST_F(JackMidiTest, ListsTheServersMidiInputsBesideTheVirtualPort) {
  TJackMidiMonitor monitor(*Server);
  const std::vector<std::string> names = Listed(*Service);
  EXPECT_NE(std::find(names.begin(), names.end(), Monitor()), names.end());
  // Only MIDI inputs: the dummy driver's audio ports and the listing client itself are not offered.
  for (const std::string& name : names) EXPECT_EQ(name.find("system:"), std::string::npos) << name;
  TMidiOutCaps mapper;
  ASSERT_EQ(Service->GetDevCaps(MidiMapperId, mapper), MidiErrNone);
  EXPECT_EQ(mapper.ProductName, "Tambrel");
  EXPECT_EQ(mapper.Technology, MidiTechMapper);

  TMidiOutput out(*Service);
  out.SetProductName("Tambrel");
  EXPECT_EQ(out.DeviceID(), MidiMapperId);
  out.SetProductName(Monitor());
  EXPECT_EQ(names.at(out.DeviceID()), Monitor());
  EXPECT_EQ(out.Technology(), MidiTechPort);
  monitor.StopAndCollect();
}

// Closing right after the last send is what the player does when it stops: what was sent still arrives.
TEST_F(JackMidiTest, DeliversEveryKindOfMessageAsOneEventEachInOrder) {
  TJackReader reader(Server->Name());
  TMidiOutput out(*Service);
  size_t completed = 0;
  out.Onmidioutput = [&](TMidiOutput&) { ++completed; };
  out.SetProductName(Reader());
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
  TMidiEvent event;
  event.Buffer = note.data();
  event.BufferLength = static_cast<uint16_t>(note.size());
  out.PutMidiEvent(event);
  event = TMidiEvent{0x82, 0x30, 0x00, 0, 0, nullptr};
  out.PutMidiEvent(event);
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(out.Drain(), 3u);
  EXPECT_EQ(completed, 3u);

  EXPECT_EQ(reader.CollectBytes(16), (std::vector<TBytes>{
                                         {0x90, 0x3C, 0x64},
                                         {0xB0, 0x07, 0x50},
                                         {0xC0, 0x05},
                                         {0x80, 0x3C, 0x00},
                                         sysex,
                                         {0x91, 0x40, 0x50},
                                         {0x91, 0x43, 0x50},
                                         {0xF8},
                                         {0x91, 0x47, 0x50},
                                         {0xC1, 0x10},
                                         {0xC1, 0x11},
                                         {0xF8},
                                         {0xF0, 0x01, 0x02, 0xF7},
                                         {0xE1, 0x00, 0x40},
                                         note,
                                         {0x82, 0x30, 0x00},
                                     }));
}

TEST_F(JackMidiTest, ABufferThatDoesNotSplitSendsNothingAndSaysWhy) {
  TJackReader reader(Server->Name());
  TMidiOutput out(*Service);
  out.SetProductName(Reader());
  out.Open();
  const TBytes truncated{0x90, 0x3C, 0x64, 0x90, 0x3E};
  EXPECT_EQ(ErrorOf([&] { out.PutLong(truncated.data(), static_cast<uint16_t>(truncated.size())); }),
            "Incomplete MIDI message at end of buffer (starting with byte 90 at offset 3)");
  // A short message needs a status that begins one: a data byte or the start of a sysex does not.
  EXPECT_EQ(ErrorOf([&] { out.PutShort(0x3C, 0x64, 0); }), TextOf(MidiErrInvalidParam));
  EXPECT_EQ(ErrorOf([&] { out.PutShort(0xF0, 0x01, 0); }), TextOf(MidiErrInvalidParam));
  EXPECT_EQ(out.Error(), MidiErrInvalidParam);
  out.PutShort(0xFE, 0, 0);
  out.Close();
  EXPECT_EQ(out.Drain(), 0u);
  EXPECT_EQ(reader.CollectBytes(1), (std::vector<TBytes>{{0xFE}}));
}

// A system exclusive block too long for one period's port buffer cannot travel as one event: the send
// fails with a text saying so rather than the block vanishing; shorter blocks around it still arrive.
TEST_F(JackMidiTest, ASysexLongerThanThePortBufferIsRefusedNotLost) {
  TJackReader reader(Server->Name());
  TMidiOutput out(*Service);
  out.SetProductName(Reader());
  out.Open();
  TBytes huge(60000, 0x11);
  huge.front() = 0xF0;
  huge.back() = 0xF7;
  const std::string error = ErrorOf([&] { out.PutLong(huge.data(), static_cast<uint16_t>(huge.size())); });
  EXPECT_NE(error.find("longer than a JACK MIDI port buffer takes"), std::string::npos) << error;
  TBytes fits(200, 0x22);
  fits.front() = 0xF0;
  fits.back() = 0xF7;
  out.PutLong(fits.data(), static_cast<uint16_t>(fits.size()));
  out.Close();
  EXPECT_EQ(out.Drain(), 1u);
  EXPECT_EQ(reader.CollectBytes(1), (std::vector<TBytes>{fits}));
}

// More events than one period's port buffer holds: the rest follow in the next periods, none lost,
// none reordered, and within a period the offsets never go back.
TEST_F(JackMidiTest, ABufferOfMoreEventsThanAPeriodTakesArrivesWhole) {
  TJackReader reader(Server->Name());
  TMidiOutput out(*Service);
  out.SetProductName(Reader());
  out.Open();
  TBytes stream{0x90};
  std::vector<TBytes> expected;
  // About three periods' worth: enough to span periods, few enough that the closing wait covers the
  // rest even on a loaded machine under the sanitizers.
  while (expected.size() < 6000) {
    const auto key = static_cast<uint8_t>(expected.size() % 128);
    const auto velocity = static_cast<uint8_t>(expected.size() / 128 % 128);
    stream.push_back(key);
    stream.push_back(velocity);
    expected.push_back({0x90, key, velocity});
  }
  out.PutLong(stream.data(), static_cast<uint16_t>(stream.size()));
  out.PutShort(0xFC, 0, 0);
  expected.push_back({0xFC});
  out.Close();

  const std::vector<TJackReader::TEvent> received = reader.Collect(expected.size());
  ASSERT_EQ(received.size(), expected.size()) << reader.Xruns() << " late periods reported";
  for (size_t i = 0; i < received.size(); ++i) {
    ASSERT_EQ(received[i].Bytes, expected[i]) << "event " << i;
    if (i > 0 && received[i].Period == received[i - 1].Period) {
      ASSERT_GE(received[i].Offset, received[i - 1].Offset) << "event " << i;
    }
  }
  EXPECT_GT(received.back().Period, received.front().Period);
}

TEST_F(JackMidiTest, TheVirtualPortAppearsOnTheServerForOthersToConnect) {
  TJackReader reader(Server->Name());
  TMidiOutput out(*Service);
  out.SetDeviceID(MidiMapperId);
  ASSERT_TRUE(out.Open());
  ASSERT_TRUE(Server->WaitForPort("Tambrel:Tambrel", 10000));
  Connect("Tambrel:Tambrel", TJackReader::InputPort);
  ASSERT_TRUE(reader.WaitUntilConnected(out));
  out.PutShort(0x99, 0x24, 0x7F);
  const TBytes sysex{0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
  out.PutLong(sysex.data(), static_cast<uint16_t>(sysex.size()));
  out.Close();
  EXPECT_EQ(reader.CollectBytes(2, true), (std::vector<TBytes>{{0x99, 0x24, 0x7F}, sysex}));
  // The port goes with the component's Close.
  for (const std::string& port : Server->Ports()) EXPECT_NE(port, "Tambrel:Tambrel");
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
    const auto deadline = std::chrono::steady_clock::now() + NoHang - 1s;
    while (sendError.empty() && std::chrono::steady_clock::now() < deadline) {
      const std::string e = ErrorOf([&] { out.PutShort(0x80, 0x3C, 0x00); });
      if (e != "no error") sendError = e;
      std::this_thread::sleep_for(1ms);
    }
  }));
  EXPECT_EQ(sendError, TextOf(MidiErrPortGone));

  // The window thread learns of it from the completion queue and closes the port.
  std::vector<std::string> reported;
  out.OnPortError = [&](TMidiOutput& sender, const std::string& text) {
    EXPECT_EQ(&sender, &out);
    reported.push_back(text);
  };
  ASSERT_TRUE(EndsInTime([&] {
    const auto deadline = std::chrono::steady_clock::now() + NoHang - 1s;
    while (reported.empty() && std::chrono::steady_clock::now() < deadline) {
      out.Drain();
      std::this_thread::sleep_for(5ms);
    }
  }));
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_NE(reported[0].find("The JACK server has shut down"), std::string::npos) << reported[0];
  EXPECT_EQ(out.State(), TMidiState::Closed);
  EXPECT_FALSE(out.Close());
  EXPECT_EQ(ErrorOf([&] { out.PutShort(0x90, 0x3C, 0x64); }), TextOf(MidiErrInvalidHandle));
  // With the server gone the listing offers no JACK port again, and does so at once.
  std::vector<std::string> names;
  ASSERT_TRUE(EndsInTime([&] { names = Listed(*Service); }));
  for (const std::string& name : names) EXPECT_EQ(name.find("(JACK)"), std::string::npos) << name;
}

// Needs no jackd: a server name nobody serves under.
TEST(JackMidiAbsentTest, NoServerMeansNoJackPortsAndNoHang) {
  const std::string absent = "tambrel-absent-" + std::to_string(::getpid());
  auto jack = MakeJackBackend(absent);
  bool running = true;
  std::vector<TMidiDestination> ports{{"x", "y"}};
  uint16_t openCode = MidiErrNone;
  std::unique_ptr<TMidiOutPort> port;
  ASSERT_TRUE(EndsInTime([&] {
    running = jack->Running();
    ports = jack->ListPorts();
    openCode = jack->OpenVirtual([](std::unique_ptr<TMidiLongBuffer>, uint16_t) {}, port);
  }));
  EXPECT_FALSE(running);
  EXPECT_TRUE(ports.empty());
  EXPECT_EQ(openCode, MidiErrNoSystem);
  EXPECT_EQ(port, nullptr);

  std::vector<std::unique_ptr<TMidiBackend>> backends;
  backends.push_back(MakeAlsaBackend());
  backends.push_back(std::move(jack));
  auto service = MakeCombinedMidiService(std::move(backends));
  std::vector<std::string> names;
  TMidiOutCaps mapper;
  ASSERT_TRUE(EndsInTime([&] {
    names = Listed(*service);
    service->GetDevCaps(MidiMapperId, mapper);
  }));
  for (const std::string& name : names) EXPECT_EQ(name.find("(JACK)"), std::string::npos) << name;
  EXPECT_EQ(mapper.ProductName, "Tambrel");
}

}  // namespace
}  // namespace tambrel
