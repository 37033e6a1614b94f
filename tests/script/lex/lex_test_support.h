#pragma once
// Helpers of the front-end tests: the fixture that leaves the input idle, and the scanner run over a
// file as the parser runs it.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace tambrel::testing {

// The input idle, the messages and error count cleared and the trace off before each test; the trace
// off and the input idle after it.
class TLexTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  TTempFolder Dir;
};

struct TScanned {
  int32_t Code = 0;
  int32_t Number = 0;  // NUMBER and BADNUMBER
  std::string Text;    // IDENTIFIER
  int32_t Line = 0;    // position after the token
  int32_t Column = 0;
};

// Every token of a file holding text, up to and including the end of input; the input is idle again
// afterwards, also when the scan throws.
std::vector<TScanned> ScanText(const std::string& text);

// The codes of the tokens, without the final end of input.
std::vector<int32_t> Codes(const std::vector<TScanned>& tokens);

}  // namespace tambrel::testing
