#include "tools/spectra/Picture.h"

#include <plplot.h>

#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

constexpr const char* kBlackOnWhite = "cmap0_black_on_white.pal";
// Every line drawn is horizontal or vertical, so shapes need no smoothing: without it, map cells
// meet without seams and are drawn faster. Text keeps its own smoothing.
constexpr const char* kDriverOptions = "graphics_anti_aliasing=1,rasterize_image=1";

// Dark blue through teal and green to yellow: counts stay readable from the smallest to the
// largest, in colour and in grey.
constexpr PLFLT kRampPositions[] = {0.0, 0.33, 0.66, 1.0};
constexpr PLFLT kRampRed[] = {0.27, 0.19, 0.37, 0.99};
constexpr PLFLT kRampGreen[] = {0.00, 0.41, 0.79, 0.91};
constexpr PLFLT kRampBlue[] = {0.33, 0.56, 0.38, 0.14};
constexpr PLINT kRampPoints = sizeof kRampPositions / sizeof kRampPositions[0];
constexpr PLINT kLineRgb[] = {31, 119, 180};
constexpr PLINT kLabelDigits = 6;

}  // namespace

// The font libraries under the Cairo driver keep their caches until the process ends, by
// design; a leak-checking build is told so, and still reports every other leak.
extern "C" const char* __lsan_default_suppressions()
{
  return "leak:libfontconfig.so\nleak:libpango\nleak:libcairo.so\nleak:libglib\n";
}

const char* ExtensionOf(PictureFormat format) { return format == PictureFormat::kSvg ? "svg" : "png"; }

Picture::Picture(PictureFormat format, int width, int height)
{
  // The driver closes the stream it is given when the drawing ends; the bytes then stay ours.
  std::FILE* memory = open_memstream(&bytes, &length);
  // Without a stream the driver would ask on the terminal for a file name.
  if (memory == nullptr) throw std::bad_alloc();
  plsdev(format == PictureFormat::kSvg ? "svgcairo" : "pngcairo");
  plsfile(memory);
  plsetopt("drvopt", kDriverOptions);
  plspage(0, 0, width, height, 0, 0);
  plspal0(kBlackOnWhite);
  plscol0(kLineColour, kLineRgb[0], kLineRgb[1], kLineRgb[2]);
  plscmap1l(1, kRampPoints, kRampPositions, kRampRed, kRampGreen, kRampBlue, nullptr);
  plinit();
  // Values up to 65536 are labelled in full rather than with a separate power of ten.
  plsxax(kLabelDigits, 0);
  plsyax(kLabelDigits, 0);
  drawing = true;
}

Picture::~Picture()
{
  End();
  std::free(bytes);
}

void Picture::End()
{
  if (drawing) plend1();
  drawing = false;
}

void Picture::WriteTo(std::ostream& out)
{
  End();
  out.write(bytes, static_cast<std::streamsize>(length));
}
