#include <windows.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "support/ScreenCapture.h"

namespace orvane::test {

// One test program at a time drives the pointer of this Windows session.
DisplayLock::DisplayLock() {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\orvane-display-lock");
  if (mutex == nullptr) return;
  const DWORD wait = WaitForSingleObject(mutex, INFINITE);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return;
  }
  handle_ = mutex;
}

DisplayLock::~DisplayLock() {
  if (handle_ == nullptr) return;
  ReleaseMutex(static_cast<HANDLE>(handle_));
  CloseHandle(static_cast<HANDLE>(handle_));
}

// The screen's pixels through GDI into a 24-bit bottom-up DIB, written as a
// BMP file (the Windows build of the toolkit has no PNG support).
std::filesystem::path CaptureScreenToFile(int x, int y, int width, int height,
                                          const std::filesystem::path& folder) {
  if (width <= 0 || height <= 0) return {};
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return {};
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  std::vector<unsigned char> pixels;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  header.biSizeImage = stride * static_cast<std::uint32_t>(height);
  bool ok = memory != nullptr && bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY | CAPTUREBLT) != FALSE;
    SelectObject(memory, old);
  }
  if (ok) {
    pixels.resize(header.biSizeImage);
    ok = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                   reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) == height;
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!ok) return {};

  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = 0x4D42;  // "BM"
  fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
  fileHeader.bfSize = fileHeader.bfOffBits + header.biSizeImage;
  const std::filesystem::path file = folder / "capture.bmp";
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  return out ? file : std::filesystem::path();
}

}  // namespace orvane::test
