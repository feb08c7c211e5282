#include "system/OSFunctions.h"

namespace orvane {

std::string TrimSystemMessage(std::string message) {
  while (!message.empty()) {
    const char c = message.back();
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '.') break;
    message.pop_back();
  }
  return message;
}

}  // namespace orvane
