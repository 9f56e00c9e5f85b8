#pragma once
// The 32 Ki-character template the benchmarks render: every conversion
// differs from the others, with byte and nibble references between them.
#include <cstdio>
#include <string>

namespace terva::bench {

inline std::string bigTemplate() {
  std::string t;
  char piece[40];
  for (unsigned i = 0; t.size() < 32 * 1024; ++i) {
    std::snprintf(piece, sizeof piece, "dec%u(%X) b%u n%u%u;", i % 10, 0x10000u + i, 1 + i % 8, 1 + i % 8, 1 + i % 2);
    t += piece;
  }
  t.resize(32 * 1024);
  // The cut may leave a conversion open: end the text with a closed one.
  t.replace(t.size() - 8, 8, "dec(FF);");
  return t;
}

}  // namespace terva::bench
