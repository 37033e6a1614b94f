#include "cli/midi_file_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "child_process.h"
#include "temp_folder.h"

namespace tambrel {
namespace {

// Reads a file back with the midicsv tool and returns its listing.
std::string ReadBackWithMidicsv(const std::vector<uint8_t>& bytes) {
  const TTempFolder folder;
  return RunChild({"/usr/bin/midicsv", folder.Write("export.mid", std::string(bytes.begin(), bytes.end()))})
      .Out;
}

TEST(MidiFileWriter, TracksPerDeviceWithExactMillisecondTimes) {
  const std::vector<TExportItem> items = {
      {0, 2, {0xC0, 0x05}},
      {100, 5, {0x01, 0x02}},  // bytes that are no complete message are kept as escapes: no status,
      {200, 5, {0x90, 0x3C}},  // an incomplete note-on,
      {250, 1, {0x90, 0x3C, 0x64, 0x3E, 0x64}},  // running status: two note-ons
      {250, 2, {0xF0, 0x43, 0x10, 0xF7}},
      {300, 5, {0xF8, 0x90, 0x3C, 0x64}},               // real-time then a channel message
      {1000, 1, {0x80, 0x3C, 0x00, 0xB0, 0x07, 0x5A}},  // two messages in one item
      {1000, -3, {0xB0, 0x07, 0x7F}},
  };
  EXPECT_EQ(ReadBackWithMidicsv(BuildMidiFile(items, 1500)),
            "0, 0, Header, 1, 4, 500\n"
            "1, 0, Start_track\n"
            "1, 0, Title_t, \"Device -3\"\n"
            "1, 0, Tempo, 500000\n"
            "1, 1000, Control_c, 0, 7, 127\n"
            "1, 1500, End_track\n"
            "2, 0, Start_track\n"
            "2, 0, Title_t, \"Device 1\"\n"
            "2, 0, Tempo, 500000\n"
            "2, 250, Note_on_c, 0, 60, 100\n"
            "2, 250, Note_on_c, 0, 62, 100\n"
            "2, 1000, Note_off_c, 0, 60, 0\n"
            "2, 1000, Control_c, 0, 7, 90\n"
            "2, 1500, End_track\n"
            "3, 0, Start_track\n"
            "3, 0, Title_t, \"Device 2\"\n"
            "3, 0, Tempo, 500000\n"
            "3, 0, Program_c, 0, 5\n"
            "3, 250, System_exclusive, 3, 67, 16, 247\n"
            "3, 1500, End_track\n"
            "4, 0, Start_track\n"
            "4, 0, Title_t, \"Device 5\"\n"
            "4, 0, Tempo, 500000\n"
            "4, 100, System_exclusive_packet, 2, 1, 2\n"
            "4, 200, System_exclusive_packet, 2, 144, 60\n"
            "4, 300, System_exclusive_packet, 1, 248\n"
            "4, 300, Note_on_c, 0, 60, 100\n"
            "4, 1500, End_track\n"
            "0, 0, End_of_file\n");
}

TEST(MidiFileWriter, EmptyTimeline) {
  EXPECT_EQ(ReadBackWithMidicsv(BuildMidiFile({}, 0)),
            "0, 0, Header, 1, 1, 500\n"
            "1, 0, Start_track\n"
            "1, 0, Tempo, 500000\n"
            "1, 0, End_track\n"
            "0, 0, End_of_file\n");
}

}  // namespace
}  // namespace tambrel
