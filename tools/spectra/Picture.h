#pragma once

#include <ostream>

// What a picture file is written as.
enum class PictureFormat { kPng, kSvg };

// The file name extension of a format, without the dot: "png", "svg".
const char* ExtensionOf(PictureFormat format);

// Colour map 0 indices a drawing picks with plcol0.
constexpr int kInkColour = 1;   // black: axes, text
constexpr int kLineColour = 2;  // blue: histogram lines

// One picture drawn by PLplot's Cairo driver. The driver writes into memory, and WriteTo hands
// the bytes on, so that a file that cannot be written is reported by the caller rather than
// ending the program inside the plotting library. PLplot draws on one current stream per process: only one
// Picture may exist at a time, and only on the thread that made it. Drawing calls go straight to
// PLplot between construction and WriteTo.
class Picture {
 public:
  // A blank white page of `width` by `height` pixels, the colours above, and colour map 1 from
  // dark blue to yellow.
  Picture(PictureFormat format, int width, int height);
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // Ends the drawing and writes the picture's bytes to `out`.
  void WriteTo(std::ostream& out);

 private:
  void End();

  char* bytes = nullptr;
  size_t length = 0;
  bool drawing = false;
};
