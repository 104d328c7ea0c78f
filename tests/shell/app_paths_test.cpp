#include "shell/app_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "shell/temp_env.h"

namespace vdz {
namespace {

using test::ScopedEnv;
using test::ScratchFolder;
using test::WriteTextFile;

TEST(JoinPath, JoinsWithOneSlash) {
  struct Case {
    const char* a;
    const char* b;
    const char* joined;
  };
  const Case cases[] = {
      {"/a", "b", "/a/b"}, {"/a/", "b", "/a/b"}, {"/a", "/b", "/a/b"}, {"/a/", "//b", "/a/b"},
      {"", "b", "b"},      {"/a", "", "/a"},     {"/", "b", "/b"},     {"a/b", "c/d", "a/b/c/d"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JoinPath(c.a, c.b), c.joined) << c.a << " + " << c.b;
  }
}

TEST(AppPaths, EnvironmentOverridesEveryLocation) {
  struct Case {
    const char* variable;
    std::function<std::string()> location;
    const char* expected;
  };
  const Case cases[] = {
      {"VDZ_CONFIG_DIR", ConfigFolder, "/srv/cfg"},
      {"VDZ_DOCUMENTS_DIR", DocumentsFolder, "/srv/docs"},
      {"VDZ_LOG_DIR", LogFolder, "/srv/log"},
      {"VDZ_DEBUG_CFG", DebugControlFile, "/srv/dbg.cfg"},
  };
  for (const Case& c : cases) {
    ScopedEnv env(c.variable, c.expected);
    EXPECT_EQ(c.location(), c.expected) << c.variable;
  }
}

TEST(AppPaths, ConfigFilesFollowTheConfigFolder) {
  ScopedEnv config("VDZ_CONFIG_DIR", "/srv/cfg");
  ScopedEnv debug("VDZ_DEBUG_CFG", std::nullopt);
  EXPECT_EQ(SettingsFile(), "/srv/cfg/QmDodEveva_cfg.ini");
  EXPECT_EQ(DebugControlFile(), "/srv/cfg/uc_dbg.cfg");
}

TEST(AppPaths, XdgFallbacks) {
  ScopedEnv home("HOME", "/home/tech");
  ScopedEnv config("VDZ_CONFIG_DIR", std::nullopt);
  ScopedEnv log("VDZ_LOG_DIR", std::nullopt);
  {
    ScopedEnv xdg_config("XDG_CONFIG_HOME", "/xdg/config");
    ScopedEnv xdg_state("XDG_STATE_HOME", "/xdg/state");
    EXPECT_EQ(ConfigFolder(), "/xdg/config/viduzaver");
    EXPECT_EQ(LogFolder(), "/xdg/state/viduzaver/log");
  }
  {
    ScopedEnv xdg_config("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv xdg_state("XDG_STATE_HOME", std::nullopt);
    EXPECT_EQ(ConfigFolder(), "/home/tech/.config/viduzaver");
    EXPECT_EQ(LogFolder(), "/home/tech/.local/state/viduzaver/log");
  }
  {
    // Relative XDG values are invalid and ignored.
    ScopedEnv xdg_config("XDG_CONFIG_HOME", "relative/config");
    ScopedEnv xdg_state("XDG_STATE_HOME", "");
    EXPECT_EQ(ConfigFolder(), "/home/tech/.config/viduzaver");
    EXPECT_EQ(LogFolder(), "/home/tech/.local/state/viduzaver/log");
  }
}

TEST(AppPaths, DocumentsFolderFromUserDirs) {
  ScratchFolder scratch;
  const std::string home = scratch / "home";
  std::filesystem::create_directories(home);
  ScopedEnv home_env("HOME", home);
  ScopedEnv docs("VDZ_DOCUMENTS_DIR", std::nullopt);
  ScopedEnv xdg_config("XDG_CONFIG_HOME", scratch / "xdg");
  const std::string user_dirs = scratch / "xdg/user-dirs.dirs";

  // Nothing configured and no ~/Documents: the home folder.
  EXPECT_EQ(DocumentsFolder(), home);

  std::filesystem::create_directories(home + "/Documents");
  EXPECT_EQ(DocumentsFolder(), home + "/Documents");

  WriteTextFile(user_dirs,
                "# written by xdg-user-dirs-update\n"
                "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
  EXPECT_EQ(DocumentsFolder(), home + "/Dokumenty");

  WriteTextFile(user_dirs, "XDG_DOCUMENTS_DIR=\"/data/papers\"\n");
  EXPECT_EQ(DocumentsFolder(), "/data/papers");

  // A value that is neither $HOME-relative nor absolute is not valid: fall back.
  WriteTextFile(user_dirs, "XDG_DOCUMENTS_DIR=\"papers\"\n");
  EXPECT_EQ(DocumentsFolder(), home + "/Documents");
}

TEST(AppPaths, ExecutableFolderHoldsThisTest) {
  const std::string folder = ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.front(), '/');
  EXPECT_TRUE(std::filesystem::is_regular_file(JoinPath(folder, "shell_app_paths_test")));
}

TEST(AppPaths, DataFolderIsTheInstalledOneUnlessOverridden) {
  {
    test::ScopedEnv unset("VDZ_DATA_DIR", std::nullopt);
    EXPECT_EQ(DataFolder(), VDZ_EXPECTED_DATA_DIR);
  }
  test::ScopedEnv build("VDZ_DATA_DIR", "/tmp/build/bin");
  EXPECT_EQ(DataFolder(), "/tmp/build/bin");
}

}  // namespace
}  // namespace vdz
