// Times the template renderer alone: the 32 Ki-character template terva-bench
// renders (every conversion different) and a short everyday template. Prints
// the median of many runs; "terva-render-bench big 1" renders once, for
// instruction counts under callgrind.
//   terva-render-bench [big|short|both] [RUNS]
#include "big_template.h"
#include "ident/render.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kId = "1A2B3C4D5E6F7081";

void timeTemplate(const char* name, const std::string& tmpl, int runs) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> ms;
  std::size_t size = 0;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    const std::string out = terva::ident::cstuid(kId, tmpl);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    size = out.size();
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%s: %zu characters -> %zu, median %.4f ms, min %.4f ms over %d runs\n", name, tmpl.size(), size,
              ms[ms.size() / 2], ms.front(), runs);
}

}  // namespace

int main(int argc, char** argv) {
  const char* which = argc > 1 ? argv[1] : "both";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 0;
  const bool both = std::strcmp(which, "both") == 0;
  if (both || std::strcmp(which, "big") == 0) timeTemplate("32k", terva::bench::bigTemplate(), runs > 0 ? runs : 200);
  if (both || std::strcmp(which, "short") == 0) timeTemplate("short", "dec3(b3)-dec5(b2b1)", runs > 0 ? runs : 200000);
  return 0;
}
