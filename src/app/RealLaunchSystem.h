// The window's operating-system services, bound to the real process,
// version, shell, folder, copy and link functions.
#pragma once

#include "app/MainForm.h"

namespace orvane {

class TRealLaunchSystem : public ILaunchSystem {
 public:
  std::uint32_t GetPidByExeName(const std::string& exeName) override;
  std::string GetProcessImagePath(std::uint32_t pid) override;
  bool KillProcess(std::uint32_t pid) override;
  std::string GetFileVersionNumbers(const std::string& file, int& major, int& minor, int& release,
                                    int& build) override;
  void ShellOpen(const std::string& file, const std::string& params) override;
  void ShellOpenChecked(const TCheckedFile& file, const std::string& params) override;
  std::string GetProgramFolder() override;
  std::string GetExecutablePath() override;
  std::string GetConfigPath(const std::string& sub) override;
  bool IsSameFile(const std::string& a, const std::string& b) override;
  std::string CopyProgram(const std::string& source, const std::string& destination) override;
  TShortcutResult CreateShortcut(const std::string& shortcutName, const std::string& description,
                                 const std::string& target) override;
};

}  // namespace orvane
