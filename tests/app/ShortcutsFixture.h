// The shortcut button under test: a scripted window over the real folders,
// copies and links, with the running program played by a small file.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/MainForm.h"
#include "app/RealLaunchSystem.h"
#include "support/FakeMainFormView.h"
#include "system/SysUtils.h"

namespace orvane::test {

class ShortcutLaunchSystem : public TRealLaunchSystem {
 public:
  std::string program;     // the running program's file
  std::string configPath;  // empty: the real configuration folder

  std::string GetExecutablePath() override { return program; }
  std::string GetConfigPath(const std::string& sub) override {
    return configPath.empty() ? TRealLaunchSystem::GetConfigPath(sub) : configPath;
  }
};

class ShortcutTest : public testing::Test {
 protected:
  ShortcutTest() { ReleaseFolderCaches(); }
  ~ShortcutTest() override { ReleaseFolderCaches(); }

  // Presses the button; the status text it left.
  std::string Click() {
    if (!form) {
      TMainFormOptions options;
      options.Arguments = std::vector<std::string>{"OrvaneSupport", "--quiet"};
      options.LaunchSystem = &launch;
      form = std::make_unique<TMainForm>(view, std::move(options));
    }
    form->Click(TControlId::btnInstallShortcut);
    EXPECT_TRUE(view.boxes.empty());
    return view.status;
  }

  FakeMainFormView view;
  ShortcutLaunchSystem launch;
  std::unique_ptr<TMainForm> form;
};

inline constexpr char kCreated[] = "Shortcut created on the desktop and in the start menu";

}  // namespace orvane::test
