#include "app/Shortcuts.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

// Every occurrence of the extension goes, compared case-sensitively.
TEST(ShortcutBaseName, RemovesTheExtensionWhereverItOccurs) {
  const struct {
    const char* name;
    const char* base;
  } cases[] = {
      {"OrvaneSupport.exe", "OrvaneSupport"},
      {"OrvaneSupport", "OrvaneSupport"},
      {"Orvane.Support.exe", "Orvane.Support"},
      {"tool.exe.old.exe", "tool.old"},
      {"Tool.EXE.exe", "Tool.EXE"},
      {"support-1.2", "support-1"},
      {".exe", ".exe"},  // nothing would be left
  };
  for (const auto& c : cases) EXPECT_EQ(ShortcutBaseName(c.name), c.base) << c.name;
}

}  // namespace
}  // namespace orvane
