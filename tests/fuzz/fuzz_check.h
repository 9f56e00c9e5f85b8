#pragma once
// Property checks for the fuzz targets: a failed property prints what failed
// and aborts, so libFuzzer keeps the input that broke it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace terva::fuzz {

// Printable rendering of bytes for failure messages.
inline std::string shown(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\x";
      out.push_back(kDigits[c >> 4]);
      out.push_back(kDigits[c & 0xF]);
    }
  }
  return out + "\"";
}

[[noreturn]] inline void propertyFailed(const char* file, int line, const char* cond, const std::string& what) {
  std::fprintf(stderr, "\n*** property failed at %s:%d: %s\n*** %s\n", file, line, cond, what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace terva::fuzz

// CHECK(condition, message): message is any expression convertible to std::string.
#define FUZZ_CHECK(cond, what)                                                        \
  do {                                                                                \
    if (!(cond)) ::terva::fuzz::propertyFailed(__FILE__, __LINE__, #cond, (what));   \
  } while (0)
