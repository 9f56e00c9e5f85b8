// Portable part of the port list.

#include "serial/portlist.h"

#include <algorithm>

namespace terva::serial {

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool PortNameLess(const std::string& a, const std::string& b) {
  const bool less = std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(AsciiLower(x)) < static_cast<unsigned char>(AsciiLower(y));
      });
  if (less) return true;
  const bool greater = std::lexicographical_compare(
      b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
        return static_cast<unsigned char>(AsciiLower(x)) < static_cast<unsigned char>(AsciiLower(y));
      });
  return !greater && a < b;
}

}  // namespace terva::serial
