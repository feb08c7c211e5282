#include <filesystem>

#include "support/StandInTool.h"
#include "support/TestSupport.h"

namespace orvane::test {

struct TStandInTool::TState {};

TStandInTool::TStandInTool(const std::filesystem::path& file, const std::filesystem::path& marker) {
  WriteFileBytes(file, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >'" + marker.string() +
                           ".part'\nmv '" + marker.string() + ".part' '" + marker.string() + "'\n");
}

TStandInTool::~TStandInTool() = default;

}  // namespace orvane::test
