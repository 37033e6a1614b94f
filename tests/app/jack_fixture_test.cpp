#include "jack_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tambrel {
namespace {

TEST(JackFixtureTest, ReadsTheEventLinesOfTheMonitor) {
  const std::string dump =
      " 128: 90 3c 40 note on  (channel  0): pitch  60, velocity  64\n"
      "signal received, exiting ...\n"
      "   0: f0 43 10 f7 sysex\n"
      "JackShmReadWritePtr::~JackShmReadWritePtr - Init not done for -1, skipping unlock\n";
  EXPECT_EQ(ParseMidiDump(dump),
            (std::vector<std::vector<uint8_t>>{{0x90, 0x3C, 0x40}, {0xF0, 0x43, 0x10, 0xF7}}));
}

TEST(JackFixtureTest, StartsAPrivateServerThatTheMonitorJoins) {
  TJackServer server;
  TJackMidiMonitor monitor(server);
  const std::vector<std::string> ports = server.Ports();
  EXPECT_NE(std::find(ports.begin(), ports.end(), TJackMidiMonitor::InputPort), ports.end());
  EXPECT_TRUE(monitor.StopAndCollect().empty());
}

}  // namespace
}  // namespace tambrel
