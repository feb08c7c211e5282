// Trust by owner and mode on real files. The hostile cases need a second
// user: the tests hand entries to uid 65534 (nobody) with chown, which only
// root may do, and skip when they do not run as root.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"
#include "system/FolderTrust.h"
#include "system/OSFunctions.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFileBytes;

constexpr uid_t kOtherUser = 65534;

void Chown(const fs::path& path, uid_t uid) { ASSERT_EQ(lchown(path.c_str(), uid, getegid()), 0) << path; }
void Chmod(const fs::path& path, mode_t mode) { ASSERT_EQ(chmod(path.c_str(), mode), 0) << path; }

class FolderTrustPosix : public testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "handing a file to another user (chown) needs root";
  }
  TempDir dir;
};

TEST_F(FolderTrustPosix, FoldersAndFilesOthersOwnOrMayWriteAreNotTrusted) {
  // How the entry is prepared (file or folder, owner, mode, a symbolic link
  // in its place, or nothing), its folder's owner and mode, and the verdict:
  // trusted, or the end of the reason. Owner 0 is the test's own user.
  constexpr uid_t me = 0, other = kOtherUser;
  const std::string ownerNote = " belongs to another user (uid 65534)";
  struct Case {
    const char* name;
    bool file, link, missing;
    uid_t owner;
    mode_t mode;
    uid_t folderOwner;
    mode_t folderMode;
    std::string reason;  // empty: trusted
  } cases[] = {
      {"own folder", false, false, false, me, 0755, me, 0755, ""},
      {"own private folder", false, false, false, me, 0700, me, 0755, ""},
      {"folder of another user", false, false, false, other, 0755, me, 0755, ownerNote},
      {"group-writable folder", false, false, false, me, 0775, me, 0755, "others (mode 0775)"},
      {"world-writable folder", false, false, false, me, 0757, me, 0755, "others (mode 0757)"},
      {"sticky world-writable folder", false, false, false, me, 01777, me, 0755, "others (mode 1777)"},
      {"link to an own folder", false, true, false, me, 0755, me, 0755, " is a symbolic link"},
      {"missing folder", false, false, true, me, 0755, me, 0755, ""},
      {"own file", true, false, false, me, 0644, me, 0755, ""},
      {"file of another user", true, false, false, other, 0644, me, 0755, ownerNote},
      {"other-writable file", true, false, false, me, 0666, me, 0755, "others (mode 0666)"},
      {"group-writable file", true, false, false, me, 0664, me, 0755, "others (mode 0664)"},
      {"link to an own file", true, true, false, me, 0644, me, 0755, " is a symbolic link"},
      {"file in a folder of another user", true, false, false, me, 0644, other, 0755, ownerNote},
      {"file in a world-writable folder", true, false, false, me, 0644, me, 0777, "others (mode 0777)"},
      {"file in a sticky folder", true, false, false, me, 0644, me, 01777, ""},
      {"file in a sticky folder of another user", true, false, false, me, 0644, other, 01777, ownerNote},
      {"missing file in an own folder", true, false, true, me, 0644, me, 0755, ""},
      {"missing file in a group-writable folder", true, false, true, me, 0644, me, 0770,
       "others (mode 0770)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = dir / c.name;
    fs::create_directory(folder);
    const fs::path target = folder / "entry";
    const fs::path real = folder / "real";
    if (!c.missing) {
      if (c.file)
        WriteFileBytes(c.link ? real : target, "[Main]\n");
      else
        fs::create_directory(c.link ? real : target);
      Chmod(c.link ? real : target, c.mode);
      Chown(c.link ? real : target, c.owner);
      if (c.link) fs::create_symlink(real, target);
    }
    Chmod(folder, c.folderMode);
    Chown(folder, c.folderOwner);

    const TTrust trust = c.file ? CheckFileTrust(target.string()) : CheckFolderTrust(target.string() + "/");
    EXPECT_EQ(trust.Trusted, c.reason.empty()) << trust.Reason;
    EXPECT_EQ(trust.Missing, c.missing && c.reason.empty());
    const std::string reason =
        c.reason.rfind("others", 0) == 0 ? " can be written by other users" + c.reason.substr(6) : c.reason;
    EXPECT_TRUE(trust.Reason.ends_with(reason)) << trust.Reason;
    // The reason names the entry it is about.
    if (!trust.Trusted) {
      EXPECT_EQ(trust.Reason.rfind(folder.string(), 0), 0u) << trust.Reason;
    }
  }
}

// The machine-wide folder is the first entry of XDG_CONFIG_DIRS.
class PrivateFoldersPosix : public FolderTrustPosix {
 protected:
  ScopedEnv machine{"XDG_CONFIG_DIRS", (dir / "etc").string()};
  const std::string root = (dir / "etc").string() + "/";
  const std::string company = root + "Orvane mbH/";
  const std::string config = company + "RemoteSupport/";
};

TEST_F(PrivateFoldersPosix, MissingLevelsAreMadePrivateExistingOnesMustBeTrusted) {
  fs::create_directory(root);
  const mode_t previous = umask(0);
  const std::string made = ForceTrustedDirectories(config);
  umask(previous);
  EXPECT_EQ(made, "");
  for (const std::string& level : {company, config}) {
    struct stat st {};
    ASSERT_EQ(stat(level.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u) << level;  // not 0777, though the umask is 0
  }
  EXPECT_TRUE(CheckFoldersBelow(root, config).Trusted);
  EXPECT_EQ(ForceTrustedDirectories(config), "");  // existing and trusted

  // Another user got there first, or the folder was left writable.
  Chown(company, kOtherUser);
  EXPECT_FALSE(CheckFoldersBelow(root, config).Trusted);
  EXPECT_EQ(ForceTrustedDirectories(config), "the folder " + company +
                                                 " is not trusted: " + company.substr(0, company.size() - 1) +
                                                 " belongs to another user (uid 65534)");
  Chown(company, 0);
  Chmod(config, 0777);
  EXPECT_EQ(CheckFoldersBelow(root, config).Reason,
            config.substr(0, config.size() - 1) + " can be written by other users (mode 0777)");
  EXPECT_NE(ForceTrustedDirectories(config).find("is not trusted"), std::string::npos);

  // Levels that do not exist yet hold nothing; the root itself is the
  // administrator's and not examined.
  Chmod(config, 0755);
  EXPECT_TRUE(CheckFoldersBelow(root, config + "deeper/still/").Trusted);
  Chmod(root, 0777);
  EXPECT_TRUE(CheckFoldersBelow(root, config).Trusted);
}

TEST_F(PrivateFoldersPosix, FoldersElsewhereAreMadeAsUsual) {
  const std::string own = (dir / "home" / "data" / "Orvane mbH").string() + "/";
  EXPECT_EQ(ForceTrustedDirectories(own), "");
  EXPECT_TRUE(fs::is_directory(own));
  // Below a plain file no folder can be made; the reason says which.
  WriteFileBytes(dir / "plain", "x");
  EXPECT_EQ(ForceTrustedDirectories((dir / "plain" / "sub").string() + "/").rfind("the folder ", 0), 0u);
}

}  // namespace
}  // namespace orvane
