#include "system/DebugHook.h"

#include <atomic>

namespace orvane {
namespace {
std::atomic<SystemDebugHook> g_hook{nullptr};
}

void SetSystemDebugHook(SystemDebugHook hook) { g_hook.store(hook); }

bool SystemDebugEnabled() { return g_hook.load() != nullptr; }

void SystemDebug(const std::string& text) {
  if (auto hook = g_hook.load()) hook(text);
}

}  // namespace orvane
