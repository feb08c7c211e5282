#include <filesystem>
#include <string>

#include "support/StandInTool.h"
#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"

namespace orvane::test {

// The stand-in program takes its marker from the environment, which the
// programs the shell starts for the test inherit; it ends at once.
struct TStandInTool::TState {
  TState(const std::filesystem::path& marker)
      : out("ORVANE_STANDIN_OUT", PathUtf8(marker)), seconds("ORVANE_STANDIN_SECONDS", "0") {}
  ScopedEnv out;
  ScopedEnv seconds;
};

TStandInTool::TStandInTool(const std::filesystem::path& file, const std::filesystem::path& marker)
    : state_(std::make_unique<TState>(marker)) {
  std::filesystem::copy_file(StandInProgram(), file, std::filesystem::copy_options::overwrite_existing);
}

TStandInTool::~TStandInTool() = default;

}  // namespace orvane::test
