#pragma once
// Scripted operator prompts and reply builders for the card dialog tests.
#include <functional>
#include <string>
#include <vector>

#include "protocol/exchange.h"
#include "protocol/hextext.h"
#include "protocol/operator.h"
#include "support/manual_clock.h"

#include <gtest/gtest.h>

namespace terva::testing {

// Records the plain messages; onMessage runs while a message would be open.
class ScriptedPrompts : public Prompts {
 public:
  std::vector<std::string> messages;
  std::vector<std::string> errors;
  std::function<void(const std::string&)> onMessage;

  void error(const std::string& text) override { errors.push_back(text); }
  void message(const std::string& text) override {
    messages.push_back(text);
    if (onMessage) onMessage(text);
  }
  bool question(const std::string&) override { return true; }
};

inline Answer reply(std::uint8_t cmd, std::uint8_t ver, std::string body) { return Answer{cmd, ver, std::move(body)}; }
inline Answer ok(std::uint8_t ver = 1) { return reply(0, ver, "0D0100"); }
inline Answer refused(unsigned code, std::uint8_t ver = 1) { return reply(0, ver, "0D01" + byteHex(code)); }

// A dialog's logic on a clock the test moves, with scripted prompts.
struct CardsFixture : ::testing::Test {
  ManualClock clock;
  ScriptedPrompts prompts;
  bool debug = false;
  void ticks(int n) { clock.advance(std::chrono::milliseconds(100 * n)); }
};

}  // namespace terva::testing
