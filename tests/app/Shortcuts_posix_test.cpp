// The shortcut button on Linux: the program copied into the per-user
// configuration folder, desktop entries on the desktop and in the menu,
// checked with desktop-file-validate and started through GLib's own launcher.
// HOME and the XDG folders point into a temporary tree.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/Shortcuts.h"
#include "app/ShortcutsFixture.h"
#include "support/RecordingLogControl.h"
#include "support/TestSupport.h"
#include "system/Translate.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::ScopedEnv;
using test::WriteFileBytes;

constexpr char kLogo[] = "\x89PNG stand-in";

// The "program" notes where and as what it was started.
std::string Program(const std::string& version) {
  return "#!/bin/sh\n# " + version + "\npwd >\"$0.started\"\nprintf '%s\\n' \"$0\" >>\"$0.started\"\n";
}

std::string Shell(const std::string& command) {
  std::string quoted = "'";
  for (const char c : command) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool IsExecutable(const fs::path& file) {
  return (fs::status(file).permissions() & fs::perms::owner_exec) != fs::perms::none;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class ShortcutPosix : public test::ShortcutTest {
 protected:
  ShortcutPosix() {
    fs::create_directories(desktop);
    fs::create_directories(home / ".config");
    WriteFileBytes(home / ".config/user-dirs.dirs",
                   "# written by the test\nXDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
                   "XDG_DESKTOP_DIR=\"$HOME/Schreib tisch\"\n");
    InstallProgram(Program("1.0"));
    SetShortcutLogoSource([] { return std::string(kLogo); });
  }
  ~ShortcutPosix() override { SetShortcutLogoSource(nullptr); }

  void InstallProgram(const std::string& bytes) {
    WriteFileBytes(running / "OrvaneSupport", bytes);
    fs::permissions(running / "OrvaneSupport", fs::perms::owner_all);
    launch.program = (running / "OrvaneSupport").string();
  }

  // The data folder's name needs quoting and escaping in the entries.
  test::TempDir home;
  const fs::path data = home / "data \"q\" $HOME `x` \\b";
  const fs::path folder = data / "Orvane mbH/RemoteSupport";
  const fs::path copy = folder / "OrvaneSupport";
  const fs::path desktop = home / "Schreib tisch";
  const fs::path menu = data / "applications";
  ScopedEnv homeVar{"HOME", home.path().string()};
  ScopedEnv configHome{"XDG_CONFIG_HOME", std::nullopt};
  ScopedEnv dataHome{"XDG_DATA_HOME", data.string()};
  ScopedEnv configDirs{"XDG_CONFIG_DIRS", (home / "etc").string()};
  test::TempDir running;
};

TEST_F(ShortcutPosix, FirstClickInstallsTheCopyAndTwoValidEntriesThatStartIt) {
  ASSERT_EQ(Click(), test::kCreated);

  EXPECT_EQ(ReadFileBytes(copy), Program("1.0"));
  EXPECT_TRUE(IsExecutable(copy));
  EXPECT_EQ(ReadFileBytes(folder / "OrvaneSupport.png"), kLogo);
  const std::string entry = ReadFileBytes(desktop / "OrvaneSupport.desktop");
  EXPECT_EQ(ReadFileBytes(menu / "OrvaneSupport.desktop"), entry);
  for (const fs::path& file : {desktop / "OrvaneSupport.desktop", menu / "OrvaneSupport.desktop"}) {
    EXPECT_TRUE(IsExecutable(file)) << file;
    EXPECT_EQ(std::system(("desktop-file-validate " + Shell(file.string())).c_str()), 0) << entry;
  }
  EXPECT_THAT(entry, testing::HasSubstr("\nName=OrvaneSupport\nComment=Orvane Support Assistant\n"));
  // The one backslash in the folder's name is written as two.
  const std::string escapedData = home.path().string() + "/data \"q\" $HOME `x` \\\\b";
  EXPECT_THAT(entry,
              testing::HasSubstr("\nIcon=" + escapedData + "/Orvane mbH/RemoteSupport/OrvaneSupport.png\n"));
  EXPECT_THAT(entry, testing::HasSubstr("\nTerminal=false\n"));
  EXPECT_EQ(Names(desktop), std::vector<std::string>{"OrvaneSupport.desktop"});

  // GLib reads the entry back: the copy starts in its own folder.
  ASSERT_EQ(std::system(("gio launch " + Shell((menu / "OrvaneSupport.desktop").string())).c_str()), 0);
  const fs::path started = copy.string() + ".started";
  std::string lines;
  for (int i = 0; i < 3000 && std::count(lines.begin(), lines.end(), '\n') < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (fs::exists(started)) lines = ReadFileBytes(started);
  }
  EXPECT_EQ(lines, folder.string() + "\n" + copy.string() + "\n");
}

// "%" starts a field code in Exec= and nowhere else: a folder named "%f"
// must reach the launcher as "%%f", or it is replaced by a file argument.
TEST_F(ShortcutPosix, APercentSignInTheProgramsPathIsNoFieldCode) {
  const fs::path percentData = home / "100% %f";
  ScopedEnv percentHome{"XDG_DATA_HOME", percentData.string()};
  ASSERT_EQ(Click(), test::kCreated);
  const std::string entry = ReadFileBytes(desktop / "OrvaneSupport.desktop");
  const std::string folderText = home.path().string() + "/100% %f/Orvane mbH/RemoteSupport/";
  EXPECT_THAT(entry, testing::HasSubstr("\nExec=\"" + home.path().string() +
                                        "/100%% %%f/Orvane mbH/RemoteSupport/OrvaneSupport\"\n"));
  EXPECT_THAT(entry, testing::HasSubstr("\nPath=" + folderText + "\n"));
  EXPECT_THAT(entry, testing::HasSubstr("\nIcon=" + folderText + "OrvaneSupport.png\n"));
  EXPECT_EQ(
      std::system(("desktop-file-validate " + Shell((desktop / "OrvaneSupport.desktop").string())).c_str()),
      0)
      << entry;
}

// The status bar shows the text in the window's language; the log line keeps
// the English one (a marked "translation" stands for a catalog here).
TEST_F(ShortcutPosix, StatusIsTranslatedAndTheLogStaysEnglish) {
  struct TMarkedTexts {
    TMarkedTexts() {
      SetTranslator([](const char* english) -> std::string { return std::string("<de>") + english; },
                    nullptr);
    }
    ~TMarkedTexts() { SetTranslator(nullptr, nullptr); }
  } marked;
  TLogSettings settings;
  settings.AlwaysShowDebug = true;
  settings.MemoNumRows = 100;
  test::ScopedRecordingLogger log(settings);

  EXPECT_EQ(Click(), std::string("<de>") + test::kCreated);
  const std::vector<std::string>& lines = log.control->lines;
  EXPECT_NE(
      std::find(lines.begin(), lines.end(), std::string("(Debug        ): Shortcut: ") + test::kCreated),
      lines.end())
      << testing::PrintToString(lines);
  for (const std::string& line : lines) EXPECT_EQ(line.find("<de>"), std::string::npos) << line;
}

TEST_F(ShortcutPosix, SecondClickReplacesTheCopyAndRewritesTheEntries) {
  ASSERT_EQ(Click(), test::kCreated);
  WriteFileBytes(desktop / "OrvaneSupport.desktop", "stale");
  InstallProgram(Program("2.0"));
  // The proxy script evaluator travels with the program.
  WriteFileBytes(running / "orvane-pac-eval", "evaluator");
  fs::permissions(running / "orvane-pac-eval", fs::perms::owner_all);
  ASSERT_EQ(Click(), test::kCreated);
  EXPECT_EQ(ReadFileBytes(copy), Program("2.0"));
  EXPECT_EQ(ReadFileBytes(folder / "orvane-pac-eval"), "evaluator");
  EXPECT_TRUE(IsExecutable(folder / "orvane-pac-eval"));
  EXPECT_EQ(ReadFileBytes(desktop / "OrvaneSupport.desktop"), ReadFileBytes(menu / "OrvaneSupport.desktop"));
  EXPECT_EQ(Names(desktop), std::vector<std::string>{"OrvaneSupport.desktop"});
  EXPECT_EQ(Names(folder),
            (std::vector<std::string>{"OrvaneSupport", "OrvaneSupport.png", "orvane-pac-eval"}));
}

TEST_F(ShortcutPosix, RunningFromTheCopyRewritesTheEntriesOnly) {
  ASSERT_EQ(Click(), test::kCreated);
  fs::remove(desktop / "OrvaneSupport.desktop");
  launch.program = copy.string();
  EXPECT_EQ(Click(), test::kCreated);
  EXPECT_EQ(ReadFileBytes(copy), Program("1.0"));
  EXPECT_TRUE(fs::exists(desktop / "OrvaneSupport.desktop"));
}

TEST_F(ShortcutPosix, WithoutADesktopFolderOnlyTheMenuEntryIsWritten) {
  const char* const settings[] = {
      nullptr,                                // no user-dirs.dirs
      "XDG_MUSIC_DIR=\"$HOME/Music\"\n",      // no desktop entry in it
      "XDG_DESKTOP_DIR=\"$HOME/\"\n",         // the home folder: switched off
      "XDG_DESKTOP_DIR=\"$HOME/Missing\"\n",  // a folder that is not there
      "XDG_DESKTOP_DIR=\"Schreib tisch\"\n",  // neither $HOME/ nor absolute
  };
  for (const char* setting : settings) {
    fs::remove(home / ".config/user-dirs.dirs");
    if (setting) WriteFileBytes(home / ".config/user-dirs.dirs", setting);
    fs::remove(menu / "OrvaneSupport.desktop");
    EXPECT_EQ(Click(), "Shortcut created in the start menu (no desktop folder found)")
        << (setting ? setting : "no user-dirs.dirs");
    EXPECT_TRUE(fs::exists(menu / "OrvaneSupport.desktop"));
    EXPECT_EQ(Names(home.path()),
              (std::vector<std::string>{".config", "Schreib tisch", "data \"q\" $HOME `x` \\b"}));
    EXPECT_TRUE(Names(desktop).empty());
  }
}

// Nothing is linked unless the copy is in place, and an older copy survives
// a failed one.
TEST_F(ShortcutPosix, AnUnwritableDestinationLeavesNoEntries) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::string status;
  } cases[] = {
      {"a file where the folder belongs", [&] { WriteFileBytes(data / "Orvane mbH", "file"); },
       "Shortcut not created: the folder " + folder.string() + "/ could not be created (Not a directory)"},
      {"a folder where the copy belongs", [&] { fs::create_directories(copy); },
       "Shortcut not created: the program could not be copied to " + copy.string()},
      {"a read-only folder holding an older copy",
       [&] {
         fs::create_directories(folder);
         WriteFileBytes(copy, "older copy");
         fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
       },
       "Shortcut not created: the program could not be copied to " + copy.string()},
  };
  for (const Case& c : cases) {
    if (geteuid() == 0 && std::string(c.name).find("read-only") != std::string::npos) continue;
    std::error_code ec;
    fs::permissions(folder, fs::perms::owner_all, ec);
    fs::remove_all(data, ec);
    fs::create_directories(data);
    c.arrange();
    EXPECT_EQ(Click(), c.status) << c.name;
    EXPECT_TRUE(Names(desktop).empty()) << c.name;
    EXPECT_FALSE(fs::exists(menu)) << c.name;
    if (fs::is_regular_file(copy)) {
      EXPECT_EQ(ReadFileBytes(copy), "older copy");
    }
  }
  std::error_code ec;
  fs::permissions(folder, fs::perms::owner_all, ec);
}

// A copy bound for the machine-wide folder: its folders are made private,
// and one that another user made first takes no copy (chown needs root).
TEST_F(ShortcutPosix, AMachineWideFolderAnotherUserMadeTakesNoCopy) {
  if (geteuid() != 0) GTEST_SKIP() << "handing a folder to another user (chown) needs root";
  const fs::path company = home / "etc" / "Orvane mbH";
  launch.configPath = (company / "RemoteSupport").string() + "/";
  fs::create_directories(company);
  ASSERT_EQ(chown(company.c_str(), 65534, 0), 0);
  EXPECT_EQ(Click(), "Shortcut not created: the folder " + company.string() +
                         "/ is not trusted: " + company.string() + " belongs to another user (uid 65534)");
  EXPECT_FALSE(fs::exists(company / "RemoteSupport"));
  EXPECT_TRUE(Names(desktop).empty());
  EXPECT_FALSE(fs::exists(menu));

  ASSERT_EQ(chown(company.c_str(), 0, 0), 0);
  const mode_t previous = umask(0);
  const std::string status = Click();
  umask(previous);
  ASSERT_EQ(status, test::kCreated);
  EXPECT_TRUE(fs::exists(company / "RemoteSupport" / "OrvaneSupport"));
  struct stat st {};
  ASSERT_EQ(stat((company / "RemoteSupport").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

}  // namespace
}  // namespace orvane
