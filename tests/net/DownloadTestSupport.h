// Shared set-up of the download request tests: a loopback server with a
// complete and a cut-off tool, a fresh folder, and the messages the download
// showed.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "net/DownloadFile.h"
#include "net/NetTestSupport.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"

namespace orvane::test {

class RecordingMessages : public IDownloadMessages {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

inline std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class DownloadFileTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    server_.Routes().Get("/tool.exe", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("new tool", "application/octet-stream");
    });
    server_.Routes().Get("/cut.exe", [](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(100, "application/octet-stream",
                               [](size_t offset, size_t, httplib::DataSink& sink) {
                                 return offset == 0 && sink.write("MZ half", 7);
                               });
    });
    server_.Start();
  }

  LoopbackHttpServer server_;
  TempDir dir_;
  RecordingMessages messages_;
};

}  // namespace orvane::test
