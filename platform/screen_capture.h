// Reading back what the display shows, for screenshots of Rigwright's windows.
#pragma once

#include <cstdint>
#include <vector>

namespace rigwright {

struct ScreenPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // row by row, three bytes a pixel
};

// The pixels of the screen area, read from the display server itself: what is on the screen, not
// what a toolkit believes it drew. False when there is no display or the area is off the screen.
bool CaptureScreenArea(int x, int y, int width, int height, ScreenPixels* pixels);

}  // namespace rigwright
