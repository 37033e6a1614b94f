#pragma once
// The terminal's log file: opened for appending, written unbuffered so that a failing write is seen
// by the write that caused it.

#include <string>
#include <string_view>

namespace tambrel {

class TTerminalLog {
 public:
  TTerminalLog() = default;
  ~TTerminalLog();
  TTerminalLog(const TTerminalLog&) = delete;
  TTerminalLog& operator=(const TTerminalLog&) = delete;

  // Opens (creating) the file for appending. Throws EInOutError naming the file and the reason.
  void Open(const std::string& fileName);
  bool IsOpen() const { return Fd >= 0; }
  // Writes every byte. Throws EInOutError naming the file and the reason; the file stays open.
  void Write(std::string_view bytes);
  // Closes the file; nothing happens when it is not open.
  void Close();

 private:
  int Fd = -1;
  std::string FileName;
};

}  // namespace tambrel
