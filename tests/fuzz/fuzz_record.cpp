// Configuration records as any text (a record from a master card or a file
// is hex text; here any characters at all): parse, apply and build.
// build(apply(parse(x))) is stable after one round: from the second round on
// the configuration and the record stay the same; a configuration's own
// record applied onto it changes nothing; the items parsed hold no more
// than the record; a refused record changes nothing.
#include "config/config_editor.h"
#include "config/config_record.h"
#include "fuzz_check.h"

#include <cstdint>
#include <string>

using namespace terva::config;
using terva::fuzz::shown;

namespace {
// Colours on the reader's 16-bit grid: a record carries no more, and the
// start colours are not on it, so a configuration whose record brought no
// colours reads back with its colours reduced.
ReaderConfig onGrid(ReaderConfig c) {
  for (Colour* col : {&c.ledIdle, &c.ledRedGreen, &c.ledRed, &c.ledGreen}) *col = reduceColour(*col);
  return c;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const ConfigItems items = ParseConfigItems(in);
  std::size_t held = 0;
  for (const std::string& v : items) held += v.size();
  FUZZ_CHECK(held <= in.size(), "items hold more than the record: " + shown(in));

  // Applied onto the start configuration and onto a decoded one.
  ConfigEditor editor;
  const ReaderConfig start = editor.config();
  if (!editor.ApplyConfigRecord(items)) {
    FUZZ_CHECK(editor.config() == start, "a refused record changed the editor: " + shown(in));
    return 0;
  }
  editor.fillAccessCode();  // as every use of a configuration does first
  const ReaderConfig first = editor.config();
  const std::string r1 = BuildConfigRecord(first);
  FUZZ_CHECK(r1.find_first_not_of("0123456789ABCDEF") == std::string::npos && r1.size() % 2 == 0, "built record " + shown(r1));

  ConfigEditor e2;
  FUZZ_CHECK(e2.ApplyConfigRecord(ParseConfigItems(r1)), "a built record is refused: " + r1 + " from " + shown(in));
  const std::string r2 = BuildConfigRecord(e2.config());
  ConfigEditor e3;
  FUZZ_CHECK(e3.ApplyConfigRecord(ParseConfigItems(r2)), "a rebuilt record is refused: " + r2 + " from " + shown(in));
  FUZZ_CHECK(e3.config() == e2.config(), "configuration changes after one round: " + r1 + " -> " + r2 + " from " + shown(in));
  FUZZ_CHECK(BuildConfigRecord(e3.config()) == r2, "record changes after one round: " + r2 + " from " + shown(in));
  // A configuration's own record, applied onto it, changes nothing.
  ConfigEditor over;
  over.replace(first);
  FUZZ_CHECK(over.ApplyConfigRecord(ParseConfigItems(r1)) && onGrid(over.config()) == onGrid(first),
             "a configuration's own record changes it: " + r1 + " from " + shown(in));
  return 0;
}
