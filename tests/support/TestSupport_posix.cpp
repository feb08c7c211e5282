#include <cstdlib>

#include "support/TestSupport.h"

namespace orvane::test {

void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value) {
  if (value)
    setenv(name.c_str(), value->c_str(), 1);
  else
    unsetenv(name.c_str());
}

}  // namespace orvane::test
