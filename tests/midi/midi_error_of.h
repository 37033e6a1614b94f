#pragma once
// The text of the component error a call raises, for the MIDI output tests.

#include <functional>
#include <string>

#include "midi/midi_output.h"

namespace tambrel {

inline std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EmidioutputError& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace tambrel
