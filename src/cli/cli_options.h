#pragma once
// The command line of tambrel-cli: its commands, their options and the help text.

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tambrel {

enum class ECliCommand { Help, Check, Items, Dump, Play, Export, Ports };

struct TCliOptions {
  ECliCommand Command = ECliCommand::Help;
  std::vector<std::string> Files;
  // play: the port each output opens (index 0 is output 1), and the device number it handles.
  std::array<std::optional<std::string>, 4> OutPort;
  std::array<int32_t, 4> MapDevice{1, 1, 1, 1};
  bool Trace = false;
  bool Repeat = false;
  // check, items, dump: the parser trace, as the window's Parser switch gives it.
  bool ParserTrace = false;
  // export: the file to write.
  std::string OutFile;
};

// A command line that cannot be run; the text says why.
class ECliUsage : public std::runtime_error {
 public:
  explicit ECliUsage(const std::string& text) : std::runtime_error(text) {}
};

// args excludes the program name. Throws ECliUsage.
TCliOptions ParseCliArguments(const std::vector<std::string>& args);

// The text printed by --help.
std::string CliHelpText();

}  // namespace tambrel
