#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "child_process.h"
#include "cli/midi_file_writer.h"
#include "support/atomic_file.h"

namespace tambrel {
namespace {

// The export read by an independent reader: Debian's midicsv.
TEST(MidicsvReadbackTest, AReaderSeesTracksTempoTimesAndSystemExclusive) {
  const std::vector<TExportItem> items = {
      {0, 2, {0x90, 60, 100}},
      {250, 7, {0xF0, 0x43, 0x10, 0xF7}},
      {500, 2, {0x80, 60, 0, 0xB0, 7, 90}},  // two messages in one item
      {750, 7, {0x01, 0x02}},                // no complete message: kept as an escape event
  };
  const std::string path =
      (std::filesystem::temp_directory_path() / ("tambrel-readback-" + std::to_string(::getpid()) + ".mid"))
          .string();
  const std::vector<uint8_t> bytes = BuildMidiFile(items, 1000);
  WriteFileAtomically(path, std::string(bytes.begin(), bytes.end()));
  const TChildResult result = RunChild({"/usr/bin/midicsv", path});
  std::filesystem::remove(path);
  ASSERT_EQ(result.ExitStatus, 0) << result.Err;
  EXPECT_EQ(result.Out,
            "0, 0, Header, 1, 2, 500\n"
            "1, 0, Start_track\n"
            "1, 0, Title_t, \"Device 2\"\n"
            "1, 0, Tempo, 500000\n"
            "1, 0, Note_on_c, 0, 60, 100\n"
            "1, 500, Note_off_c, 0, 60, 0\n"
            "1, 500, Control_c, 0, 7, 90\n"
            "1, 1000, End_track\n"
            "2, 0, Start_track\n"
            "2, 0, Title_t, \"Device 7\"\n"
            "2, 0, Tempo, 500000\n"
            "2, 250, System_exclusive, 3, 67, 16, 247\n"
            "2, 750, System_exclusive_packet, 2, 1, 2\n"
            "2, 1000, End_track\n"
            "0, 0, End_of_file\n");
}

}  // namespace
}  // namespace tambrel
