#include "app/inifile.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <system_error>

#include "app/settings_location.h"
#include "app/shell_settings.h"

namespace terva::app {
namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "terva-ini-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
    file = dir / "settings.ini";
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir, ec);
  }

  static void put(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }
  static std::string get(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    return out;
  }

  static constexpr int kNoChild = 200;

  // Runs fn in a child process that may not create files in dir; the settings
  // file stays writable for it only when fileWritable. Returns fn's result
  // (98 when it threw), or kNoChild when the child could not be set up. Root
  // ignores permission bits, so then the child runs as the unprivileged user.
  int inLockedFolder(bool fileWritable, const std::function<int()>& fn) {
    constexpr uid_t kNobody = 65534;
    const bool root = ::geteuid() == 0;
    std::error_code ec;
    if (root) {
      fs::permissions(dir, fs::perms(0755), ec);
      if (fs::exists(file)) {
        fs::permissions(file, fs::perms(0644), ec);
        if (::chown(file.c_str(), fileWritable ? kNobody : 0, fileWritable ? kNobody : 0) != 0) return kNoChild;
      }
    } else {
      fs::permissions(dir, fs::perms(0555), ec);
      if (fs::exists(file)) fs::permissions(file, fs::perms(fileWritable ? 0644 : 0444), ec);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(kNoChild);
      if (::access(dir.c_str(), X_OK) != 0) ::_exit(kNoChild);
      int result = 98;
      try {
        result = fn();
      } catch (...) {
      }
      ::_exit(result);
    }
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
    if (fs::exists(file)) fs::permissions(file, fs::perms(0644), ec);
    return pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : kNoChild;
  }

  fs::path dir;
  fs::path file;
};

TEST_F(IniFileTest, ValuesRoundTripExactly) {
  struct Case {
    const char* key;
    const char* value;
  } cases[] = {
      {"template", "UID = dec3(n32n31)-dec5(b2b1) = b4b3b2b1 "},
      {"blanks", "  leading and trailing\t "},
      {"empty", ""},
      {"cyrillic", "Шаблон: ЧЧ=ММ, «кавычки»"},
      {"markers", "; not a comment # [not a section]"},
      {"quotes", "\"quoted\" 'and' \\escaped\\"},
  };
  IniFile ini(file);
  for (const auto& c : cases) ini.write("kelvor", c.key, c.value);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(ini.read("kelvor", c.key, "default"), c.value);
  }
  EXPECT_NE(get(file).find("\ntemplate=UID = dec3(n32n31)-dec5(b2b1) = b4b3b2b1 \n"), std::string::npos);
  // Rewriting a value replaces it rather than adding a second key.
  ini.write("kelvor", "template", "x");
  EXPECT_EQ(ini.read("kelvor", "template", ""), "x");
  EXPECT_EQ(get(file).find("b4b3b2b1"), std::string::npos);
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
  IniFile ini(file);
  EXPECT_EQ(ini.read("kelvor", "port", "dflt"), "dflt");
  EXPECT_FALSE(fs::exists(file));  // reading never creates the file
  put(file, "[other]\nport=COM1\n[kelvor]\nviewmode=2\nnoequals\n");
  EXPECT_EQ(ini.read("kelvor", "port", "dflt"), "dflt");
  EXPECT_EQ(ini.read("missing", "port", "dflt"), "dflt");
  EXPECT_EQ(ini.read("kelvor", "noequals", "dflt"), "dflt");
  EXPECT_EQ(IniFile(dir).read("kelvor", "port", "dflt"), "dflt");  // a folder, not a file
}

TEST_F(IniFileTest, ReadsCrLfAndBomAndRewritesKeepingEverythingElse) {
  const std::string bom = "\xEF\xBB\xBF";
  put(file, bom +
                "; settings of the reader utility\r\n"
                "[Other]\r\n"
                "port=COM9\r\n"
                "\r\n"
                "[KELVOR]\r\n"
                "  Port  =  /dev/ttyUSB0\r\n"
                "# hand-written note\r\n"
                "viewmode=3\r\n"
                "\r\n"
                "[tail]\r\n"
                "x=1\r\n");
  IniFile ini(file);
  EXPECT_EQ(ini.read("kelvor", "port", ""), "  /dev/ttyUSB0");
  EXPECT_EQ(ini.read(" Kelvor\t", "PORT ", ""), "  /dev/ttyUSB0");
  EXPECT_EQ(ini.read("other", "port", ""), "COM9");
  EXPECT_EQ(ini.read("kelvor", "viewmode", ""), "3");  // no stray CR
  EXPECT_EQ(ini.read("tail", "x", ""), "1");

  ini.write("kelvor", "viewmode", "2");
  ini.write("KELVOR", "port", "/dev/ttyACM0");
  ini.write("kelvor", "crlf", "1");
  ini.write("new", "a", "b");
  EXPECT_EQ(get(file), bom +
                           "; settings of the reader utility\r\n"
                           "[Other]\r\n"
                           "port=COM9\r\n"
                           "\r\n"
                           "[KELVOR]\r\n"
                           "  Port  =/dev/ttyACM0\r\n"
                           "# hand-written note\r\n"
                           "viewmode=2\r\n"
                           "crlf=1\r\n"
                           "\r\n"
                           "[tail]\r\n"
                           "x=1\r\n"
                           "\r\n"
                           "[new]\r\n"
                           "a=b\r\n");
}

TEST_F(IniFileTest, NewFilesUseLfWithoutBomAndOtherFilesKeepTheirShape) {
  IniFile ini(file);
  ini.write("kelvor", "viewmode", "1");
  ini.write("kelvor", "port", "");
  EXPECT_EQ(get(file), "[kelvor]\nviewmode=1\nport=\n");

  put(file, "top=0\n[a]\nk=1");  // keys before any section, no final line break
  ini.write("a", "j", "2");
  ini.write("", "top2", "3");
  EXPECT_EQ(get(file), "top=0\ntop2=3\n[a]\nk=1\nj=2");
  EXPECT_EQ(ini.read("", "top2", ""), "3");
}

TEST_F(IniFileTest, LinesNotChangedKeepTheirBytes) {
  struct Case {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
  } cases[] = {
      {"mixed endings, first line changed", "a=1\nb=2\r\n", "", "a", "5", "a=5\nb=2\r\n"},
      {"mixed endings, last line changed", "a=1\r\nb=2\n", "", "b", "5", "a=1\r\nb=5\n"},
      {"mixed endings, key added in the style of the first line", "[s]\na=1\r\n", "s", "c", "3",
       "[s]\na=1\r\nc=3\n"},
      {"blanks and comments kept", "[s]\r\n x = 1 \t\r\n;c\n\nk=old\r\n", "s", "k", "new",
       "[s]\r\n x = 1 \t\r\n;c\n\nk=new\r\n"},
      {"last line ends with a lone CR, key added", "[s]\r\nk=v\r", "s", "j", "2", "[s]\r\nk=v\r\nj=2"},
      {"last line ends with a lone CR, section added", "k=v\r", "new", "a", "b", "k=v\r\n\r\n[new]\r\na=b"},
      {"last line ends with a lone CR, value changed", "[s]\nk=v\r", "s", "k", "w", "[s]\nk=w\r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    put(file, c.before);
    IniFile ini(file);
    const std::string untouched = ini.read("s", "k", "<absent>");
    ini.write(c.section, c.key, c.value);
    EXPECT_EQ(get(file), c.after);
    EXPECT_EQ(ini.read(c.section, c.key, "<absent>"), c.value);
    // A value the write did not touch reads the same as before.
    if (std::string(c.key) != "k") {
      EXPECT_EQ(ini.read("s", "k", "<absent>"), untouched);
    }
  }
  // A line ending in a lone CR at the end of the file reads without it.
  put(file, "k=v\r");
  EXPECT_EQ(IniFile(file).read("", "k", ""), "v");
}

TEST_F(IniFileTest, WriteManyEqualsKeyByKeyWrites) {
  const std::string bom = "\xEF\xBB\xBF";
  struct Case {
    const char* name;
    std::optional<std::string> before;  // nullopt: no file
  } cases[] = {
      {"no file", std::nullopt},
      {"empty file", ""},
      {"other sections only", "; top\n[other]\nport=COM9\n"},
      {"CR LF", "[kelvor]\r\nviewmode=2\r\n\r\n[tail]\r\nx=1\r\n"},
      {"BOM", bom + "[kelvor]\nport=COM1\n"},
      {"keys missing", "[kelvor]\ndebugmode=1\n# note\n\n[other]\na=b"},
      {"keys present", "[KELVOR]\nautoconnect=1\ntotray = 1\n crlf=1\ntokeyboard=\ntobuffer=1\nport=x\n"
                       "template=dec(b1)\nviewmode=3\n"},
      {"no final line break, lone CR", "[kelvor]\r\nviewmode=1\r"},
      {"mixed endings, section twice", "[kelvor]\nviewmode=1\r\n[o]\n[kelvor]\ncrlf=0\r\n"},
  };
  const std::vector<IniEntry> entries = {
      {"kelvor", "viewmode", "3"}, {"kelvor", "template", "UID dec(b2b1) "}, {"kelvor", "port", "/dev/ttyUSB0"},
      {"kelvor", "tobuffer", "1"}, {"kelvor", "tokeyboard", "0"},           {"kelvor", "crlf", "1"},
      {"kelvor", "totray", "0"},   {"kelvor", "autoconnect", "1"},          {"new", "viewmode", "2"},
      {"kelvor", "crlf", "0"},  // the same key twice: the last one wins
  };
  const fs::path single = dir / "single.ini";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(file);
    fs::remove(single);
    if (c.before) {
      put(file, *c.before);
      put(single, *c.before);
    }
    IniFile many(file);
    many.writeMany(entries);
    IniFile oneByOne(single);
    for (const auto& e : entries) oneByOne.write(e.section, e.key, e.value);
    EXPECT_EQ(get(file), get(single));
    EXPECT_EQ(many.read("kelvor", "template", ""), "UID dec(b2b1) ");
    EXPECT_EQ(many.read("kelvor", "crlf", ""), "0");
  }
}

TEST_F(IniFileTest, WriteManyChangesNothingWhenAnyEntryIsRefused) {
  const std::string before = "[kelvor]\nviewmode=2\n";
  put(file, before);
  EXPECT_THROW(IniFile(file).writeMany({{"kelvor", "viewmode", "1"}, {"kelvor", "template", "a\nb"}}),
               std::invalid_argument);
  EXPECT_EQ(get(file), before);
  EXPECT_EQ(entries(), std::vector<std::string>{"settings.ini"});
  IniFile(file).writeMany({});
  EXPECT_EQ(get(file), before);
}

TEST_F(IniFileTest, WriteThatChangesNoByteLeavesTheFileInPlace) {
  const std::string before = "[kelvor]\r\nviewmode=2\r\nport=COM3\r\n";
  put(file, before);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  const ino_t inode = st.st_ino;
  IniFile(file).writeMany({{"KELVOR", "viewmode", "2"}, {"kelvor", "port", "COM3"}});
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_ino, inode);  // not replaced
  EXPECT_EQ(get(file), before);
  EXPECT_EQ(entries(), std::vector<std::string>{"settings.ini"});
  // One changed value does replace it.
  IniFile(file).writeMany({{"kelvor", "viewmode", "2"}, {"kelvor", "port", "COM4"}});
  EXPECT_EQ(get(file), "[kelvor]\r\nviewmode=2\r\nport=COM4\r\n");
}

TEST_F(IniFileTest, RefusesWhatCannotBeStoredAndChangesNothing) {
  const std::string before = "[kelvor]\r\ntemplate=keep me\r\n";
  put(file, before);
  struct Case {
    const char* name;
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"LF in value", "kelvor", "template", "a\nb"},
      {"CR in value", "kelvor", "template", "a\r"},
      {"CR LF value", "kelvor", "template", "\r\n"},
      {"empty key", "kelvor", "  ", "v"},
      {"key with =", "kelvor", "a=b", "v"},
      {"key like a comment", "kelvor", ";k", "v"},
      {"key like a section", "kelvor", "[k", "v"},
      {"section with ]", "a]b", "k", "v"},
      {"section with LF", "a\nb", "k", "v"},
      // A key line at the start of the file would lose its mark to the BOM rule.
      {"key opening with a BOM, no section", "", "\xEF\xBB\xBFk", "v"},
      {"key opening with a BOM", "kelvor", " \xEF\xBB\xBFk", "v"},
  };
  IniFile ini(file);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(ini.write(c.section, c.key, c.value), std::invalid_argument);
    EXPECT_EQ(get(file), before);
  }
  EXPECT_EQ(entries(), std::vector<std::string>{"settings.ini"});
}

TEST_F(IniFileTest, ReplacesTheFileWithoutLeftoversKeepingPermissionsAndLinks) {
  put(file, "[kelvor]\nport=a\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  IniFile ini(file);
  ini.write("kelvor", "port", "b");
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(entries(), std::vector<std::string>{"settings.ini"});

  // Written through a symbolic link, the link stays and its target changes.
  const fs::path link = dir / "link.ini";
  fs::create_symlink(file, link);
  IniFile(link).write("kelvor", "port", "c");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(get(file), "[kelvor]\nport=c\n");
}

TEST_F(IniFileTest, WriteFailuresThrowAndLeaveNoTrace) {
  put(dir / "plain", "x");
  EXPECT_THROW(IniFile(dir / "missing" / "settings.ini").write("kelvor", "k", "v"), std::system_error);
  EXPECT_THROW(IniFile(dir / "plain" / "settings.ini").write("kelvor", "k", "v"), std::system_error);
  EXPECT_THROW(IniFile(dir).write("kelvor", "k", "v"), std::system_error);  // the path is a folder
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST_F(IniFileTest, FolderRefusingNewFilesIsWrittenInPlace) {
  put(file, "[kelvor]\r\nk=old\r\n; note\r\n");
  const int r = inLockedFolder(true, [this] {
    IniFile ini(file);
    ini.write("kelvor", "k", "a much longer value than before");
    ini.write("kelvor", "k", "new");  // shorter again: the file must shrink
    ini.write("kelvor", "a", "1");
    return 0;
  });
  if (r == kNoChild) GTEST_SKIP() << "no unprivileged user can reach the test folder";
  ASSERT_EQ(r, 0);
  EXPECT_EQ(get(file), "[kelvor]\r\nk=new\r\n; note\r\na=1\r\n");
  EXPECT_EQ(entries(), std::vector<std::string>{"settings.ini"});
}

TEST_F(IniFileTest, NothingWritableThrowsAndLeavesTheFileWhole) {
  const std::string before = "[kelvor]\nk=old\n";
  put(file, before);
  const auto refused = [this] {
    try {
      IniFile(file).write("kelvor", "k", "v");
    } catch (const std::system_error&) {
      return 0;
    }
    return 1;
  };
  // Neither the folder nor the file may be written.
  int r = inLockedFolder(false, refused);
  if (r == kNoChild) GTEST_SKIP() << "no unprivileged user can reach the test folder";
  EXPECT_EQ(r, 0);
  EXPECT_EQ(get(file), before);
  // No file yet, and the folder takes none.
  fs::remove(file);
  EXPECT_EQ(inLockedFolder(false, refused), 0);
  EXPECT_TRUE(entries().empty());
}

TEST_F(IniFileTest, CloseInALockedFolderSavesWhatTheFileAllows) {
  put(file, "[kelvor]\ndebugmode=1\n");
  ShellSettings s;
  s.tobuffer = true;
  const auto save = [&] { return writeShellSettings(file, s) ? 0 : 1; };
  const int r = inLockedFolder(true, save);
  if (r == kNoChild) GTEST_SKIP() << "no unprivileged user can reach the test folder";
  EXPECT_EQ(r, 0);
  const std::string saved = get(file);
  EXPECT_EQ(saved,
            "[kelvor]\ndebugmode=1\nviewmode=1\ntemplate=\ntobuffer=1\ntokeyboard=0\ncrlf=0\ntotray=0\n"
            "autoconnect=0\n");
  s.crlf = true;
  EXPECT_EQ(inLockedFolder(false, save), 1);  // nothing writable: reported, not thrown
  EXPECT_EQ(get(file), saved);
}

TEST_F(IniFileTest, SettingsFilePathFallsBackToTheUserConfigFolder) {
  const fs::path exe = dir / "bin";
  const fs::path xdg = dir / "xdg";
  const fs::path home = dir / "home";
  fs::create_directories(exe);
  put(dir / "plain", "x");
  struct Case {
    const char* name;
    fs::path exeDir;
    std::string xdg;
    std::string home;
    fs::path expected;
  } cases[] = {
      {"writable executable folder", exe, xdg.string(), home.string(), exe / "settings.ini"},
      {"missing folder, XDG set", dir / "gone", xdg.string(), home.string(), xdg / "terva-rfid" / "settings.ini"},
      {"XDG empty", dir / "gone", "", home.string(), home / ".config" / "terva-rfid" / "settings.ini"},
      {"XDG relative", dir / "gone", "rel/cfg", home.string(), home / ".config" / "terva-rfid" / "settings.ini"},
      {"executable folder is a file", dir / "plain", xdg.string(), "", xdg / "terva-rfid" / "settings.ini"},
      {"nothing usable", dir / "gone", "", "", dir / "gone" / "settings.ini"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(settingsFilePath(c.exeDir, c.xdg, c.home), c.expected);
    EXPECT_TRUE(fs::is_directory(c.expected.parent_path()) || c.name == std::string("nothing usable"));
  }

  // The one-argument form reads the environment.
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string savedValue = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", (dir / "envxdg").c_str(), 1);
  EXPECT_EQ(settingsFilePath(dir / "gone"), dir / "envxdg" / "terva-rfid" / "settings.ini");
  if (saved) {
    ::setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

TEST_F(IniFileTest, SettingsFilePathAvoidsAReadOnlyExecutableFolderOrFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not bind root";
  const fs::path exe = dir / "bin";
  const fs::path xdg = dir / "xdg";
  fs::create_directories(exe);
  put(exe / "settings.ini", "");
  fs::permissions(exe / "settings.ini", fs::perms::owner_read);
  EXPECT_EQ(settingsFilePath(exe, xdg.string(), ""), xdg / "terva-rfid" / "settings.ini");
  fs::permissions(exe / "settings.ini", fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(exe, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(settingsFilePath(exe, xdg.string(), ""), xdg / "terva-rfid" / "settings.ini");
  fs::permissions(exe, fs::perms::owner_all);
}

}  // namespace
}  // namespace terva::app
