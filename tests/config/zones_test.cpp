#include "config/text_codec.h"
#include "config/zones.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace terva::config;

namespace {

void writeRaw(const QString& path, const std::string& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

std::string readRaw(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

TEST(ZoneBitString, ParsingTable) {
  struct Case {
    std::string text;
    std::optional<std::uint64_t> mask;
  };
  const Case cases[] = {
      {"1", 1},
      {"10", 2},
      {std::string(64, '1'), kAllZones},
      {std::string(65, '1'), std::nullopt},
      {" \t101 \r\n", 5},
      {"0000", 0},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"1021", std::nullopt},
      {"1 1", std::nullopt},
  };
  for (const auto& k : cases) EXPECT_EQ(parseZoneBitString(k.text), k.mask) << '"' << k.text << '"';

  EXPECT_EQ(zonesToBitString(1), std::string(63, '0') + "1");
  EXPECT_EQ(zonesToBitString(1ULL << 63), "1" + std::string(63, '0'));
  const std::uint64_t m = 0x8123'4567'89AB'CDEFULL;
  EXPECT_EQ(parseZoneBitString(zonesToBitString(m)), m);
}

TEST(ZoneBitString, KeyFilter) {
  for (char32_t k : {U'0', U'1', char32_t{0x08}}) EXPECT_EQ(Edit1KeyPress(k), k);
  for (char32_t k : {U'2', U'a', U' ', char32_t{0x0D}, char32_t{0x16}}) EXPECT_FALSE(Edit1KeyPress(k));
}

TEST(ZoneNames, Defaults) {
  const auto n = defaultZoneNames();
  EXPECT_EQ(n[0], "Зона прохода 1");
  EXPECT_EQ(n[63], "Зона прохода 64");
}

TEST(NamesFileText, LinesTrimmingAndLimits) {
  const ZoneNames start = defaultZoneNames();
  std::string ten;
  for (int i = 1; i <= 10; ++i) ten += "Name" + std::to_string(i) + "\r\n";
  auto r = namesFromText(ten, start);
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.names[0], "Name1");
  EXPECT_EQ(r.names[9], "Name10");
  EXPECT_EQ(r.names[10], "Зона прохода 11");

  std::string seventy;
  for (int i = 1; i <= 70; ++i) seventy += "N" + std::to_string(i) + "\r\n";
  seventy += "bad\ttab\r\n";  // past line 64: never read
  r = namesFromText(seventy, start);
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.names[63], "N64");

  r = namesFromText("  \tGate A  \r\nB\nC\rD", start);
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.names[0], "Gate A");
  EXPECT_EQ((std::vector<std::string>{r.names[1], r.names[2], r.names[3], r.names[4]}),
            (std::vector<std::string>{"B", "C", "D", "Зона прохода 5"}));

  r = namesFromText("", start);
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.names, start);
}

TEST(NamesFileText, EncodingsAndStrangeFiles) {
  const ZoneNames start = defaultZoneNames();
  // Windows-1251 "Вход" and "Ёлка"
  auto r = namesFromText("\xC2\xF5\xEE\xE4\r\n\xA8\xEB\xEA\xE0\r\n", start);
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.names[0], "Вход");
  EXPECT_EQ(r.names[1], "Ёлка");
  // UTF-8 with and without BOM
  r = namesFromText("\xEF\xBB\xBFВход\r\n", start);
  EXPECT_EQ(r.names[0], "Вход");
  r = namesFromText("Выход №2\r\n", start);
  EXPECT_EQ(r.names[0], "Выход №2");

  for (const std::string& bad : {std::string("ok\r\nin\tside\r\n"), std::string("a\0b\r\n", 5), std::string("x\x98y")}) {
    r = namesFromText(bad, start);
    ASSERT_TRUE(r.error) << bad;
    EXPECT_NE(r.error->find("строке"), std::string::npos);
    EXPECT_EQ(r.names, start);
  }
}

TEST(TextCodec, Cp1251Table) {
  struct Case {
    unsigned char byte;
    char32_t cp;
  };
  const Case cases[] = {{0x41, U'A'}, {0xC0, U'А'}, {0xFF, U'я'}, {0xA8, U'Ё'}, {0xB8, U'ё'},
                        {0xB9, U'№'}, {0x88, U'€'}, {0xA5, U'Ґ'}, {0x96, U'–'}, {0xA0, 0xA0}};
  for (const auto& k : cases) {
    EXPECT_EQ(decodeCp1251(std::string(1, static_cast<char>(k.byte))), std::u32string(1, k.cp));
    EXPECT_EQ(encodeCp1251(k.cp), static_cast<char>(k.byte));
  }
  for (unsigned b = 0; b < 256; ++b) {
    if (b == 0x98) continue;
    const char32_t cp = decodeCp1251(std::string(1, static_cast<char>(b)))[0];
    EXPECT_EQ(encodeCp1251(cp), static_cast<char>(b)) << b;
  }
  EXPECT_FALSE(encodeCp1251(U'中'));
  EXPECT_FALSE(encodeCp1251(U'ä'));
  EXPECT_FALSE(isValidUtf8("\xC0\x80"));      // overlong
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_FALSE(isValidUtf8("\xD0"));
  EXPECT_TRUE(isValidUtf8("Зона 😀"));
  EXPECT_EQ(encodeUtf8(*decodeUtf8("Зона 😀")), "Зона 😀");
}

TEST(NamesFile, SaveWritesWindows1251AndReadsBack) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("names.znm");
  ZoneNames names = defaultZoneNames();
  names[0] = "Вход €";
  names[63] = "";
  ASSERT_FALSE(saveNamesFile(path, names));
  const std::string bytes = readRaw(path);
  EXPECT_EQ(bytes.substr(0, 8), "\xC2\xF5\xEE\xE4 \x88\r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - 6), "63\r\n\r\n");
  std::size_t lines = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) lines += bytes.compare(i, 2, "\r\n") == 0;
  EXPECT_EQ(lines, 64u);

  auto back = readNamesFile(path, defaultZoneNames());
  ASSERT_FALSE(back.error);
  EXPECT_EQ(back.names, names);
}

// A file whose Windows-1251 bytes happen to be valid UTF-8 would be read back
// as other letters: such a file is saved as UTF-8 with a byte-order mark.
TEST(NamesFile, NamesWhoseWindows1251BytesLookLikeUtf8ReadBackUnchanged) {
  QTemporaryDir dir;
  const QString path = dir.filePath("names.znm");
  for (const char* name : {"Рё", "п»ї", "Рђ 1"}) {
    SCOPED_TRACE(name);
    ZoneNames names;
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = "Zone " + std::to_string(i + 1);
    names[0] = name;
    ASSERT_FALSE(saveNamesFile(path, names));
    EXPECT_EQ(readRaw(path).substr(0, 3), "\xEF\xBB\xBF");
    const auto back = readNamesFile(path, defaultZoneNames());
    ASSERT_FALSE(back.error);
    EXPECT_EQ(back.names, names);
  }
}

TEST(NamesFile, UnwritableNameIsRefusedAndNothingWritten) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("names.znm");
  writeRaw(path, "old\r\n");
  ZoneNames names = defaultZoneNames();
  names[4] = "Ворота 中";
  auto err = saveNamesFile(path, names);
  ASSERT_TRUE(err);
  EXPECT_NE(err->find("Имя зоны прохода 5"), std::string::npos);
  EXPECT_NE(err->find("Windows-1251"), std::string::npos);
  names[4] = "line\nbreak";
  err = saveNamesFile(path, names);
  ASSERT_TRUE(err);
  EXPECT_NE(err->find("Имя зоны прохода 5"), std::string::npos);
  EXPECT_EQ(readRaw(path), "old\r\n");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"names.znm"});
}

TEST(NamesFile, ListChooseAndSaveSelection) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  writeRaw(dir.filePath("b.znm"), "B1\r\n");
  writeRaw(dir.filePath("a.znm"), "A1\r\nA2\r\n");
  writeRaw(dir.filePath("notes.txt"), "x");
  writeRaw(dir.filePath("strange.znm"), "ok\r\nin\x01side\r\n");
  QDir(dir.path()).mkdir("folder.znm");

  NamesList list = fillnamelist(dir.path());
  EXPECT_EQ(list.items, (std::vector<std::string>{"стандартные имена", "a.znm", "b.znm", "strange.znm"}));
  EXPECT_EQ(list.selected, 0);
  EXPECT_EQ(fillnamelist(dir.path(), "b.znm").selected, 2);
  EXPECT_EQ(fillnamelist(dir.path(), "c.znm").selected, 0);

  ZoneNames names = defaultZoneNames();
  names[5] = "edited";
  auto choice = chooseNamesSet(list, 1, 0, dir.path(), names);
  ASSERT_FALSE(choice.error);
  EXPECT_EQ(choice.selected, 1);
  EXPECT_EQ(choice.names[1], "A2");
  EXPECT_EQ(choice.names[5], "edited");

  choice = chooseNamesSet(list, 3, 1, dir.path(), names);  // strange: nothing changes
  ASSERT_TRUE(choice.error);
  EXPECT_EQ(choice.selected, 1);
  EXPECT_EQ(choice.names, names);

  QFile::remove(dir.filePath("b.znm"));
  choice = chooseNamesSet(list, 2, 1, dir.path(), names);  // vanished: standard item, names kept
  EXPECT_FALSE(choice.error);
  EXPECT_EQ(choice.selected, 0);
  EXPECT_EQ(choice.names, names);

  choice = chooseNamesSet(list, 0, 1, dir.path(), names);
  EXPECT_EQ(choice.names, defaultZoneNames());

  // After a save: selected only when saved into the settings folder.
  ASSERT_FALSE(saveNamesFile(dir.filePath("c.znm"), names));
  list = namesListAfterSave(dir.path(), dir.filePath("c.znm"));
  EXPECT_EQ(list.items[static_cast<std::size_t>(list.selected)], "c.znm");
  QTemporaryDir other;
  ASSERT_TRUE(other.isValid());
  ASSERT_FALSE(saveNamesFile(QDir(other.path()).filePath("a.znm"), names));
  EXPECT_EQ(namesListAfterSave(dir.path(), QDir(other.path()).filePath("a.znm")).selected, 0);
}

TEST(NamesFile, OversizedFileIsRefused) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("big.znm");
  writeRaw(path, std::string(static_cast<std::size_t>(kMaxNamesFileBytes) + 1, 'a'));
  const auto r = readNamesFile(path, defaultZoneNames());
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.names, defaultZoneNames());
  EXPECT_TRUE(readNamesFile(dir.filePath("none.znm"), defaultZoneNames()).error);
}

TEST(NamesFile, OtherFolderComparison) {
  struct Case {
    const char* chosen;
    const char* settings;
    bool other;
  };
  const Case cases[] = {
      {"/opt/terva", "/opt/terva", false}, {"/opt/terva/", "/opt/terva", false},
      {"/opt/x/../terva", "/opt/terva", false}, {"/opt/terva/sub", "/opt/terva", true},
      {"/opt", "/opt/terva", true},
  };
  for (const auto& k : cases) EXPECT_EQ(isOtherFolder(k.chosen, k.settings), k.other) << k.chosen;
}

}  // namespace

namespace {

TEST(ZoneNamesModel, ChooseEditSaveInTheSettingsFolder) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  writeRaw(dir.filePath("gates.znm"), "\xC2\xF5\xEE\xE4\r\n");  // "Вход" in Windows-1251
  ZoneNamesModel m(dir.path());
  EXPECT_EQ(m.list().selected, 0);
  EXPECT_EQ(m.names(), defaultZoneNames());

  EXPECT_FALSE(m.choose(1));
  EXPECT_EQ(m.names()[0], "Вход");
  m.setName(2, "Склад");
  EXPECT_EQ(m.list().selected, 1);

  const QString mine = dir.filePath("new.znm");
  EXPECT_FALSE(m.asksBeforeSaving(mine));
  ASSERT_FALSE(m.save(mine));
  EXPECT_EQ(m.list().items[static_cast<std::size_t>(m.list().selected)], "new.znm");

  QTemporaryDir other;
  ASSERT_TRUE(other.isValid());
  EXPECT_TRUE(m.asksBeforeSaving(QDir(other.path()).filePath("x.znm")));
  ASSERT_FALSE(m.save(QDir(other.path()).filePath("x.znm")));
  EXPECT_EQ(m.list().selected, 0);
  EXPECT_EQ(m.names()[1], "Склад");  // the grid keeps the names just saved

  EXPECT_FALSE(m.choose(0));
  EXPECT_EQ(m.names(), defaultZoneNames());
}

}  // namespace
