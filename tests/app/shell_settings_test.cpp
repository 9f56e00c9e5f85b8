#include "app/shell_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include <QTemporaryDir>

namespace terva::app {

// Readable failure output for whole settings values.
void PrintTo(const ShellSettings& s, std::ostream* os) {
  *os << "{port=" << (s.port ? "\"" + *s.port + "\"" : std::string("unset")) << " viewmode=" << static_cast<int>(s.viewMode)
      << " template=\"" << s.templ << "\" tobuffer=" << s.tobuffer << " tokeyboard=" << s.tokeyboard
      << " crlf=" << s.crlf << " debugmode=" << s.debugmode << " autoconnect=" << s.autoconnect
      << " totray=" << s.totray << "}";
}

namespace {

namespace fs = std::filesystem;
using ident::ViewMode;

class ShellSettingsTest : public ::testing::Test {
 protected:
  QTemporaryDir tmp;
  fs::path file = fs::path(tmp.path().toStdString()) / "settings.ini";

  void put(const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }
  std::string get() {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

ShellSettings with(void (*change)(ShellSettings&)) {
  ShellSettings s;
  change(s);
  return s;
}

TEST(ShellSettingsValues, BlanksAroundFlagsAndViewModeAreIgnored) {
  struct Case {
    const char* text;
    bool flag;
    int viewMode;
  } cases[] = {
      {"1", true, 1},    {" 1", true, 1},   {"1 ", true, 1},   {"\t1\t", true, 1}, {"2 ", false, 2},
      {" 3", false, 3},  {"", false, 0},    {"  ", false, 0},  {"true", false, 0}, {"01", false, 0},
      {"1 1", false, 0}, {"0", false, 0},   {"4", false, 0},   {"+1", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    EXPECT_EQ(flagOn(c.text), c.flag);
    EXPECT_EQ(viewModeFromSetting(c.text), c.viewMode);
  }
  EXPECT_STREQ(viewModeText(ViewMode::Dec), "1");
  EXPECT_STREQ(viewModeText(ViewMode::Hex), "2");
  EXPECT_STREQ(viewModeText(ViewMode::Cst), "3");
}

TEST_F(ShellSettingsTest, ReadsEachKeyAsTheFirstShowApplies) {
  struct Case {
    const char* name;
    std::string text;  // contents of the section "kelvor"
    ShellSettings expected;
  } cases[] = {
      {"nothing stored", "", {}},
      {"hand-edited blanks", "debugmode = 1\nviewmode = 2 \ntobuffer=1 \ntokeyboard =\t1\n",
       with([](ShellSettings& s) { s.debugmode = s.tobuffer = s.tokeyboard = true; s.viewMode = ViewMode::Hex; })},
      {"all flags on", "crlf=1\nautoconnect=1\ntotray=1\n",
       with([](ShellSettings& s) { s.crlf = s.autoconnect = s.totray = true; })},
      {"flags that are not exactly 1", "tobuffer=true\ncrlf=01\ntotray=\nautoconnect=yes\n", {}},
      {"CST keeps the template's blanks", "viewmode= 3\ntemplate= dec(b1) = \n",
       with([](ShellSettings& s) { s.viewMode = ViewMode::Cst; s.templ = " dec(b1) = "; })},
      {"CST with no template", "viewmode=3\n", with([](ShellSettings& s) { s.viewMode = ViewMode::Cst; })},
      {"template read only for CST", "viewmode=2\ntemplate=dec(b1)\n",
       with([](ShellSettings& s) { s.viewMode = ViewMode::Hex; })},
      {"unknown view modes are DEC", "viewmode=4\ntemplate=x\n", {}},
      {"empty port is unset", "port=\n", {}},
      {"port kept exactly", "port= /dev/ttyUSB0\n", with([](ShellSettings& s) { s.port = " /dev/ttyUSB0"; })},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    put("[other]\nviewmode=3\ntemplate=other\ntobuffer=1\n[kelvor]\n" + c.text);
    EXPECT_EQ(readShellSettings(file), c.expected);
  }
  fs::remove(file);
  EXPECT_EQ(readShellSettings(file), ShellSettings{});
  EXPECT_FALSE(fs::exists(file));
}

TEST(ShellSettingsRead, KeysAreReadInOrderAndAnErrorEndsTheReading) {
  const std::map<std::string, std::string, std::less<>> stored = {
      {"port", "COM3"}, {"viewmode", "3"},   {"template", "b1"},   {"tobuffer", "1"},  {"tokeyboard", "1"},
      {"crlf", "1"},    {"debugmode", "1"}, {"autoconnect", "1"}, {"totray", "1"},
  };
  std::vector<std::string> asked;
  std::string failAt;
  const SettingsReader reader = [&](std::string_view key, std::string_view) {
    asked.emplace_back(key);
    if (key == failAt) throw std::runtime_error("unreadable");
    return stored.find(key)->second;
  };

  const ShellSettings all = readShellSettings(reader);
  EXPECT_EQ(asked, (std::vector<std::string>{"port", "viewmode", "template", "tobuffer", "tokeyboard", "crlf",
                                             "debugmode", "autoconnect", "totray"}));
  EXPECT_EQ(all, with([](ShellSettings& s) {
              s.port = "COM3"; s.viewMode = ViewMode::Cst; s.templ = "b1";
              s.tobuffer = s.tokeyboard = s.crlf = s.debugmode = s.autoconnect = s.totray = true;
            }));

  asked.clear();
  failAt = "crlf";
  EXPECT_EQ(readShellSettings(reader), with([](ShellSettings& s) {
              s.port = "COM3"; s.viewMode = ViewMode::Cst; s.templ = "b1"; s.tobuffer = s.tokeyboard = true;
            }));
  EXPECT_EQ(asked.back(), "crlf");
}

TEST_F(ShellSettingsTest, CloseWritesItsKeysInOrderAndNeverDebugmode) {
  ShellSettings s;
  s.port = "/dev/ttyUSB0";
  s.viewMode = ViewMode::Cst;
  s.templ = "UID dec(b2b1) ";
  s.tobuffer = s.crlf = s.totray = s.debugmode = true;
  ASSERT_TRUE(writeShellSettings(file, s));
  EXPECT_EQ(get(),
            "[kelvor]\nviewmode=3\ntemplate=UID dec(b2b1) \nport=/dev/ttyUSB0\ntobuffer=1\ntokeyboard=0\ncrlf=1\n"
            "totray=1\nautoconnect=0\n");
  s.debugmode = false;
  EXPECT_EQ(readShellSettings(file), s);

  // No port selected keeps the stored one; a template is stored only for CST;
  // the hand-set debugmode and other sections stay.
  put("[kelvor]\r\ndebugmode=1\r\nport=COM7\r\ntemplate=old\r\n[other]\r\nx=1\r\n");
  ShellSettings hex;
  hex.viewMode = ViewMode::Hex;
  hex.templ = "not saved";
  hex.autoconnect = true;
  ASSERT_TRUE(writeShellSettings(file, hex));
  EXPECT_EQ(get(),
            "[kelvor]\r\ndebugmode=1\r\nport=COM7\r\ntemplate=\r\nviewmode=2\r\ntobuffer=0\r\ntokeyboard=0\r\n"
            "crlf=0\r\ntotray=0\r\nautoconnect=1\r\n[other]\r\nx=1\r\n");
  EXPECT_EQ(readShellSettings(file), with([](ShellSettings& r) {
              r.port = "COM7"; r.viewMode = ViewMode::Hex; r.debugmode = r.autoconnect = true;
            }));
}

TEST_F(ShellSettingsTest, AFailedWriteReportsFalseAndChangesNothing) {
  EXPECT_FALSE(writeShellSettings(file.parent_path() / "missing" / "settings.ini", ShellSettings{}));
  EXPECT_FALSE(writeShellSettings(file.parent_path(), ShellSettings{}));  // a folder

  const std::string before = "[kelvor]\nviewmode=2\n";
  put(before);
  ShellSettings s;
  s.viewMode = ViewMode::Cst;
  s.templ = "two\nlines";
  EXPECT_FALSE(writeShellSettings(file, s));
  EXPECT_EQ(get(), before);
}

}  // namespace
}  // namespace terva::app
