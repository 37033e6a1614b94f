#include "app/message_sink.h"

#include <cstdarg>
#include <vector>

namespace tambrel {

void TMessageSink::WriteMessageFmt(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  WriteMessage(text);
}

void TMessageSink::WriteMessageList(const std::vector<std::string>* lines) {
  if (lines == nullptr) return;
  for (const std::string& line : *lines) WriteMessage(line);
}

void TStreamMessageSink::WriteLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), Stream);
  std::fputc('\n', Stream);
  std::fflush(Stream);
}

}  // namespace tambrel
