// Configuration files (.rcf) and the records they carry.
//
// The input is tried three ways: as a whole file, as the record of a file
// built around it (so the digest check lets the record through), and the
// record is applied to the configuration editor. Properties:
//  - a file is refused with one of the three messages, or gives the record
//    its bytes hold after the version;
//  - a configuration applied and written (access code filled, as every use
//    of the configuration does first) reads back from the file to the same
//    configuration in the editor that wrote it, and to the same record in a
//    fresh editor;
//  - a refused record leaves the editor as it was.
#include "config/config_editor.h"
#include "config/config_file.h"
#include "config/config_record.h"
#include "fuzz_check.h"
#include "protocol/hextext.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <string>

using namespace terva;
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

namespace {

const QTemporaryDir& workDir() {
  // In memory where the system has it: the files here are rewritten every run.
  static const QTemporaryDir dir((QDir("/dev/shm").exists() ? QString("/dev/shm") : QDir::tempPath()) + "/terva-fuzz-rcf-XXXXXX");
  return dir;
}

void checkFile(const QByteArray& bytes) {
  const std::string_view all(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  const ConfigFileContents c = parseConfigFile(bytes);
  if (c.error) {
    FUZZ_CHECK(*c.error == kBadFileText || *c.error == kBadDigestText || *c.error == kBadVersionText,
               "unknown message " + shown(*c.error) + " for " + shown(all));
    FUZZ_CHECK(c.recordHex.empty(), "a refused file gave a record: " + shown(all));
  } else {
    FUZZ_CHECK(all.size() >= kMinConfigFileBytes && all[16] == '\x01', "a file accepted: " + shown(all));
    FUZZ_CHECK(c.recordHex == bytesToHex(all.substr(17)), "record differs from the file's bytes: " + shown(all));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const QByteArray asFile(in.data(), static_cast<qsizetype>(in.size()));
  checkFile(asFile);

  // The input as the record of a file: digest and version are then right.
  // A file shorter than the minimum is refused whatever it holds.
  const std::string record = bytesToHex(in);
  const QByteArray built = buildConfigFile(record);
  checkFile(built);
  const ConfigFileContents c = parseConfigFile(built);
  if (static_cast<std::size_t>(built.size()) >= kMinConfigFileBytes)
    FUZZ_CHECK(!c.error && c.recordHex == record, "a built file does not read back: " + shown(in));
  // The record of a file that was read, or else the input's own bytes as one.
  const std::string& recordHex = c.error ? record : c.recordHex;

  ConfigEditor editor;
  const ReaderConfig start = editor.config();
  const ConfigItems items = ParseConfigItems(recordHex);
  if (!editor.ApplyConfigRecord(items)) {
    FUZZ_CHECK(editor.config() == start, "a refused record changed the editor: " + shown(recordHex));
    FUZZ_CHECK(!editor.configLoading(), std::string("configLoading left set"));
    return 0;
  }
  FUZZ_CHECK(!editor.configLoading(), std::string("configLoading left set"));
  (void)checksumDisplay(items, editor.config().readingMode, "caption");
  editor.fillAccessCode();
  const ReaderConfig applied = editor.config();
  const std::string rebuilt = BuildConfigRecord(applied);

  // Written to a file and read back.
  const QString path = workDir().filePath("config.rcf");
  const auto err = writeConfigFile(path, buildConfigFile(rebuilt));
  FUZZ_CHECK(!err, "writing the file failed: " + err.value_or(""));
  const ConfigFileContents back = readConfigFile(path);
  FUZZ_CHECK(!back.error, "the written file was refused: " + back.error.value_or("") + ", record " + rebuilt);
  FUZZ_CHECK(back.recordHex == rebuilt, "the written file reads as another record: " + rebuilt);

  // Read into the editor that wrote it, the file changes nothing; read into a
  // fresh editor, it gives the same record (fields a record of that mode
  // does not carry, such as the block byte count outside mode 2, keep the
  // editor's own values).
  ConfigEditor same;
  same.replace(applied);
  FUZZ_CHECK(same.ApplyConfigRecord(ParseConfigItems(back.recordHex)), "a built record is refused: " + rebuilt + " from " + recordHex);
  FUZZ_CHECK(onGrid(same.config()) == onGrid(applied), "the file reads back to another configuration: record " + rebuilt + " from " + recordHex +
                                           ", then " + BuildConfigRecord(same.config()));
  ConfigEditor fresh;
  FUZZ_CHECK(fresh.ApplyConfigRecord(ParseConfigItems(back.recordHex)), "a built record is refused by a fresh editor: " + rebuilt);
  fresh.fillAccessCode();
  FUZZ_CHECK(BuildConfigRecord(fresh.config()) == rebuilt, "the record changes on a second round: " + rebuilt + " -> " +
                                                               BuildConfigRecord(fresh.config()));
  return 0;
}
