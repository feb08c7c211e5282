#include "logging/Logging.h"

namespace orvane {

TLogging* Logger = nullptr;

void TLogging::Error(const std::string&) {}
void TLogging::Debug(const std::string&) {}

}  // namespace orvane
