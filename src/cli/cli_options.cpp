#include "cli/cli_options.h"

#include <charconv>

namespace tambrel {

namespace {

// "N=VALUE" with N from 1 to 4; returns N - 1 and VALUE (which may itself hold '=' and ':').
std::pair<size_t, std::string> ParseAssignment(const std::string& option, const std::string& text) {
  const size_t equals = text.find('=');
  if (equals != 1 || text[0] < '1' || text[0] > '4')
    throw ECliUsage(option + " expects N=VALUE with N from 1 to 4, not \"" + text + "\"");
  return {static_cast<size_t>(text[0] - '1'), text.substr(2)};
}

int32_t ParseDeviceNumber(const std::string& text) {
  int32_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || ptr != end || value < 1 || value > 65535)
    throw ECliUsage("--map expects a device number from 1 to 65535, not \"" + text + "\"");
  return value;
}

ECliCommand CommandNamed(const std::string& name) {
  if (name == "check") return ECliCommand::Check;
  if (name == "items") return ECliCommand::Items;
  if (name == "dump") return ECliCommand::Dump;
  if (name == "play") return ECliCommand::Play;
  if (name == "export") return ECliCommand::Export;
  if (name == "ports") return ECliCommand::Ports;
  if (name == "help" || name == "--help" || name == "-h") return ECliCommand::Help;
  throw ECliUsage("Unknown command \"" + name + "\" (see tambrel-cli --help)");
}

}  // namespace

TCliOptions ParseCliArguments(const std::vector<std::string>& args) {
  if (args.empty()) throw ECliUsage("No command given (see tambrel-cli --help)");
  TCliOptions options;
  options.Command = CommandNamed(args[0]);
  if (options.Command == ECliCommand::Help) return options;

  const bool isPlay = options.Command == ECliCommand::Play;
  const bool isExport = options.Command == ECliCommand::Export;
  const bool parses = options.Command == ECliCommand::Check || options.Command == ECliCommand::Items ||
                      options.Command == ECliCommand::Dump;
  bool filesOnly = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](const std::string& option) -> std::string {
      if (arg.size() > option.size() && arg.compare(0, option.size() + 1, option + "=") == 0)
        return arg.substr(option.size() + 1);
      if (i + 1 >= args.size()) throw ECliUsage(option + " needs a value");
      return args[++i];
    };
    auto is = [&](const std::string& option) {
      return arg == option || arg.compare(0, option.size() + 1, option + "=") == 0;
    };
    if (filesOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      options.Files.push_back(arg);
    } else if (arg == "--") {
      filesOnly = true;
    } else if (arg == "--help" || arg == "-h") {
      options.Command = ECliCommand::Help;
      return options;
    } else if (isPlay && is("--out")) {
      auto [index, port] = ParseAssignment("--out", value("--out"));
      if (port.empty()) throw ECliUsage("--out needs a port name after N=");
      options.OutPort[index] = port;
    } else if (isPlay && is("--map")) {
      auto [index, device] = ParseAssignment("--map", value("--map"));
      options.MapDevice[index] = ParseDeviceNumber(device);
    } else if (isPlay && arg == "--trace") {
      options.Trace = true;
    } else if (parses && arg == "--parser-trace") {
      options.ParserTrace = true;
    } else if (isPlay && arg == "--repeat") {
      options.Repeat = true;
    } else if (isExport && (arg == "-o" || is("--output"))) {
      options.OutFile = arg == "-o" ? (i + 1 < args.size() ? args[++i] : throw ECliUsage("-o needs a value"))
                                    : value("--output");
      if (options.OutFile.empty()) throw ECliUsage("-o needs a file name");
    } else {
      throw ECliUsage("Unknown option \"" + arg + "\" for " + args[0]);
    }
  }

  switch (options.Command) {
    case ECliCommand::Ports:
      if (!options.Files.empty()) throw ECliUsage("ports takes no file");
      break;
    case ECliCommand::Check:
    case ECliCommand::Dump:
      if (options.Files.size() != 1) throw ECliUsage(args[0] + " takes exactly one file");
      break;
    case ECliCommand::Export:
      if (options.OutFile.empty()) throw ECliUsage("export needs -o OUT.mid");
      [[fallthrough]];
    case ECliCommand::Items:
    case ECliCommand::Play:
      if (options.Files.empty()) throw ECliUsage(args[0] + " needs at least one file");
      break;
    case ECliCommand::Help:
      break;
  }
  return options;
}

std::string CliHelpText() {
  return R"(Usage: tambrel-cli COMMAND [ARGUMENTS]

Checks, lists, plays and exports Tambrels (.tmb) with the messages the window shows.
Include files are taken from the Include/ folder beside the program.

Commands:
  check FILE [--parser-trace]
                    Parse and compile FILE without playing it; prints the front end's
                    lines, "Syntax OK." or the error count, the compiler's lines and
                    "Compilation OK." or "Compilation error(s) encountered."
                    --parser-trace adds the scanner's and the parser's trace lines to
                    the front end's lines, as the window's Parser switch does.
  items FILE... [--parser-trace]
                    Compile the files into one player, in order, and print the
                    player's item listing; the compile lines go to standard error.
  dump FILE [--parser-trace]
                    Write the definition tree dump of FILE to standard output, also
                    when resolution fails; the compile lines go to standard error.
  play FILE... [--out N=PORT]... [--map N=DEVICE]... [--trace] [--repeat]
                    Play the files in real time. --out makes output N (1 to 4) open
                    the MIDI port PORT as "ports" lists it; --map N=DEVICE sets the
                    device number output N handles (default 1). Without --out,
                    output 1 is the "Tambrel" virtual port. --trace prints each
                    routed item. Ends after every end marker (with --repeat, on Ctrl+C).
  export FILE... -o OUT.mid
                    Write the compiled timeline as a Standard MIDI File (format 1,
                    one millisecond per tick, one track per device number).
  ports             List the MIDI outputs, the virtual "Tambrel" port first.
  --help            Show this text.

Exit status: 0 success, 1 script errors, 2 usage, file or port errors.
)";
}

}  // namespace tambrel
