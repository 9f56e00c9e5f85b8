#pragma once
// The reply record: the last frame the reader sent.
#include <cstdint>
#include <string>

namespace terva {

// cmd 255 means nothing received since the last reset.
struct Answer {
  std::uint8_t cmd = 0;
  std::uint8_t ver = 0;
  std::string body;  // hex text

  void reset() {
    cmd = 255;
    body.clear();
  }
  bool operator==(const Answer&) const = default;
};

}  // namespace terva
