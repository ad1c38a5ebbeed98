#include "platform/screen_capture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace rigwright {

bool CaptureScreenArea(int x, int y, int width, int height, ScreenPixels* pixels) {
  if (width <= 0 || height <= 0) return false;
  const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
  if (!display) return false;
  XImage* shot = XGetImage(display.get(), DefaultRootWindow(display.get()), x, y,
                           static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                           ZPixmap);
  if (!shot) return false;
  pixels->width = width;
  pixels->height = height;
  pixels->rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  std::uint8_t* out = pixels->rgb.data();
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const unsigned long pixel = XGetPixel(shot, column, row);
      *out++ = static_cast<std::uint8_t>((pixel >> 16) & 0xff);
      *out++ = static_cast<std::uint8_t>((pixel >> 8) & 0xff);
      *out++ = static_cast<std::uint8_t>(pixel & 0xff);
    }
  }
  XDestroyImage(shot);
  return true;
}

}  // namespace rigwright
