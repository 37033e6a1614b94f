#pragma once
// UTF-8 to code points, one byte at a time, so that a character split across two writes still decodes.
// A byte that cannot be part of a well-formed sequence gives U+FFFD (one per maximal invalid part).

#include <cstdint>

namespace tambrel {

inline constexpr char32_t kReplacementChar = 0xFFFD;

class TUtf8Decoder {
 public:
  // Feeds one byte; calls deliver(codePoint) for each character it completes (at most two: the
  // replacement of an interrupted sequence, then the byte itself).
  template <class Deliver>
  void Feed(uint8_t byte, Deliver&& deliver) {
    if (Needed == 0 && byte < 0x80) {
      deliver(static_cast<char32_t>(byte));
      return;
    }
    if (Needed > 0) {
      if (byte >= Lower && byte <= Upper) {
        Value = (Value << 6) | (byte & 0x3Fu);
        Lower = 0x80;
        Upper = 0xBF;
        if (--Needed == 0) deliver(Value);
        return;
      }
      Needed = 0;
      deliver(kReplacementChar);
      if (byte < 0x80) {
        deliver(static_cast<char32_t>(byte));
        return;
      }
    }
    Start(byte, deliver);
  }

  // True while a sequence has started and not yet ended.
  bool Pending() const { return Needed > 0; }

 private:
  template <class Deliver>
  void Start(uint8_t byte, Deliver&& deliver) {
    Lower = 0x80;
    Upper = 0xBF;
    if (byte >= 0xC2 && byte <= 0xDF) {
      Needed = 1;
      Value = byte & 0x1Fu;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      Needed = 2;
      Value = byte & 0x0Fu;
      if (byte == 0xE0) Lower = 0xA0;  // no overlong forms
      if (byte == 0xED) Upper = 0x9F;  // no surrogates
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      Needed = 3;
      Value = byte & 0x07u;
      if (byte == 0xF0) Lower = 0x90;
      if (byte == 0xF4) Upper = 0x8F;  // nothing above U+10FFFF
    } else {
      deliver(kReplacementChar);
    }
  }

  char32_t Value = 0;
  int Needed = 0;
  uint8_t Lower = 0x80;  // the range the next continuation byte must lie in
  uint8_t Upper = 0xBF;
};

}  // namespace tambrel
