// The launch workflows' operating-system services, bound to the real
// process, version, shell and folder functions.
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
  std::string GetProgramFolder() override;
};

}  // namespace orvane
