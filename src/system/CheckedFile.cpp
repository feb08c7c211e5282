#include "system/CheckedFile.h"

#include <stdexcept>
#include <utility>

#include "system/SHA256.h"

namespace orvane {

TCheckedFile::TCheckedFile(const std::string& path) : path_(path), native_(OpenCheckedFile(path)) {}

TCheckedFile::TCheckedFile(TCheckedFile&& other) noexcept
    : path_(std::move(other.path_)), native_(std::exchange(other.native_, kNoCheckedFile)) {}

TCheckedFile& TCheckedFile::operator=(TCheckedFile&& other) noexcept {
  if (this != &other) {
    CloseCheckedFile(native_);
    path_ = std::move(other.path_);
    native_ = std::exchange(other.native_, kNoCheckedFile);
  }
  return *this;
}

TCheckedFile::~TCheckedFile() { CloseCheckedFile(native_); }

void RefuseCheckedFile(const std::string& path, const std::string& reason) {
  throw std::runtime_error("The file \"" + path + "\" is not started: " + reason +
                           ".\r\nDelete it and download it again.");
}

std::string TCheckedFile::SHA256() const {
  return FileBlocksSHA256([this](const FileBlockSink& sink) { ReadCheckedFileBlocks(native_, path_, sink); });
}

}  // namespace orvane
