// Windows: the screen's pixels through GDI, copied from the screen's device context.
#include <windows.h>

#include <memory>

#include "platform/screen_capture.h"

namespace rigwright {

bool CaptureScreenArea(int x, int y, int width, int height, ScreenPixels* pixels) {
  if (width <= 0 || height <= 0) return false;
  const HDC screen = ::GetDC(nullptr);
  if (!screen) return false;
  const std::unique_ptr<HDC__, void (*)(HDC)> screenDc(screen,
                                                       [](HDC dc) { ::ReleaseDC(nullptr, dc); });
  const std::unique_ptr<HDC__, BOOL (*)(HDC)> memory(::CreateCompatibleDC(screen), ::DeleteDC);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  if (!memory || !bitmap) {
    if (bitmap) ::DeleteObject(bitmap);
    return false;
  }
  const HGDIOBJ previous = ::SelectObject(memory.get(), bitmap);
  const bool copied = ::BitBlt(memory.get(), 0, 0, width, height, screen, x, y, SRCCOPY);
  ::SelectObject(memory.get(), previous);
  // Top-down rows of 32-bit blue, green, red, unused: no row padding to undo.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(width) *
                                 static_cast<std::size_t>(height) * 4);
  const bool read = copied && ::GetDIBits(memory.get(), bitmap, 0, static_cast<UINT>(height),
                                          bgrx.data(), &info, DIB_RGB_COLORS) == height;
  ::DeleteObject(bitmap);
  if (!read) return false;
  pixels->width = width;
  pixels->height = height;
  pixels->rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  std::uint8_t* out = pixels->rgb.data();
  for (std::size_t at = 0; at < bgrx.size(); at += 4) {
    *out++ = bgrx[at + 2];
    *out++ = bgrx[at + 1];
    *out++ = bgrx[at];
  }
  return true;
}

}  // namespace rigwright
