#include "tools/Tuda.h"

#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/InProcessPrograms.h"
#include "tests/TestSupport.h"
#include "tests/WrittenRun.h"
#include "tools/console/ExitStatus.h"
#include "tools/histogram/KindHistogram.h"
#include "tools/spectra/ChannelList.h"
#include "tools/spectra/SpectrumPlots.h"

// `tuda spectra` in-process, with the module UKMIDAS_PLUGIN_PATH that the build names, and its
// histograms on their own.

namespace {

// The run every spectra test reads: the reader returns an empty event before the first
// event-start token, then these three.
const std::vector<WriterEvent> kEvents{
    {{tokens::Adc(0, 100), tokens::Adc(0, 100), tokens::Adc(5, 4095), tokens::Tdc(3, 65535), tokens::Tdc(3, 15)}},
    {{tokens::Tdc(3, 16), tokens::Tdc(639, 0)}},
    {{tokens::Adc(607, 7)}},
};

// Every item of kEvents in its bin of the default binning: ADC bins of 1, TDC bins of 16.
constexpr const char* kAdcCsv =
    "channel,low,high,count\n"
    "0,100,101,2\n"
    "5,4095,4096,1\n"
    "607,7,8,1\n";
constexpr const char* kTdcCsv =
    "channel,low,high,count\n"
    "3,0,16,1\n"
    "3,16,32,1\n"
    "3,65520,65536,1\n"
    "639,0,16,1\n";

std::string ReadText(const std::string& path)
{
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// A decoded picture: its size and whether any pixel differs from the white page.
struct DecodedPicture {
  bool valid = false;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  bool drawn = false;
};

DecodedPicture DecodePng(const std::string& path)
{
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  DecodedPicture picture;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return picture;
  picture.valid = true;
  picture.width = image.width;
  picture.height = image.height;
  for (const png_byte channel : pixels) picture.drawn = picture.drawn || channel != 0xff;
  return picture;
}

class SpectraTest : public testing::Test {
 protected:
  void SetUp() override
  {
    unsetenv("UKMIDASDATA");
    for (const bool swapped : {false, true}) {
      WriteRun(folder.Path(swapped ? "swapped.dat" : "native.dat"), kEvents, swapped);
    }
  }

  // `tuda spectra` on `args`, writing into the scratch folder's "out", with the console captured.
  int Run(std::vector<std::string> args)
  {
    args.insert(args.begin(), "spectra");
    args.insert(args.end(), {"--out", Out(), "--plugin", UKMIDAS_PLUGIN_PATH});
    int status = 0;
    console = CaptureConsole([&] { status = RunTudaHere(args); });
    return status;
  }

  std::string Out() const { return folder.Path("out"); }
  std::string Out(const std::string& file) const { return Out() + "/" + file; }

  ScratchFolder folder;
  Console console;
};

TEST_F(SpectraTest, BinTablesCountEveryItemOnceInBothByteOrders)
{
  for (const char* file : {"native.dat", "swapped.dat"}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(Run({folder.Path(file)}), kExitOk);
    EXPECT_EQ(ReadText(Out("adc.csv")), kAdcCsv);
    EXPECT_EQ(ReadText(Out("tdc.csv")), kTdcCsv);
    EXPECT_EQ(console.err.substr(0, console.err.find(',')), "tuda spectra: 4 events");
  }
}

TEST_F(SpectraTest, SeveralFilesRunThroughOneNode)
{
  EXPECT_EQ(Run({folder.Path("native.dat"), folder.Path("swapped.dat"), "--kind", "adc"}), kExitOk);
  EXPECT_EQ(ReadText(Out("adc.csv")),
            "channel,low,high,count\n"
            "0,100,101,4\n"
            "5,4095,4096,2\n"
            "607,7,8,2\n");
  EXPECT_FALSE(std::filesystem::exists(Out("tdc.csv")));
}

TEST_F(SpectraTest, PicturesAreDrawnImagesOfTheirSize)
{
  EXPECT_EQ(Run({folder.Path("native.dat"), "--channels", "3,5"}), kExitOk);
  for (const char* file : {"adc-map.png", "adc-hits.png", "adc-3.png", "adc-5.png", "tdc-map.png", "tdc-hits.png",
                           "tdc-3.png", "tdc-5.png"}) {
    SCOPED_TRACE(file);
    const DecodedPicture picture = DecodePng(Out(file));
    EXPECT_TRUE(picture.valid);
    EXPECT_EQ(picture.width, png_uint_32(kPictureWidth));
    EXPECT_EQ(picture.height, png_uint_32(kPictureHeight));
    EXPECT_TRUE(picture.drawn);
  }
  const std::string index = ReadText(Out("index.html"));
  EXPECT_NE(index.find("<img src=\"tdc-5.png\""), std::string::npos);
  EXPECT_NE(index.find("<td>Events</td><td>4</td>"), std::string::npos);
}

TEST_F(SpectraTest, SvgPicturesOnRequest)
{
  EXPECT_EQ(Run({folder.Path("native.dat"), "--kind", "tdc", "--format", "svg", "--linear"}), kExitOk);
  const std::string svg = ReadText(Out("tdc-map.svg"));
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("<svg"), std::string::npos);
}

TEST_F(SpectraTest, MissingFileRunsTheRestAndFails)
{
  EXPECT_EQ(Run({folder.Path("absent.dat"), folder.Path("native.dat"), "--kind", "tdc"}), kExitDataError);
  EXPECT_EQ(ReadText(Out("tdc.csv")), kTdcCsv);
  const std::string reason = "tuda spectra: " + folder.Path("absent.dat") + ": No such file or directory\n";
  EXPECT_NE(console.err.find(reason), std::string::npos) << console.err;
}

// The pictures and tables of the run before go, whatever their kind, channel or format; files
// that are not of its making stay.
TEST_F(SpectraTest, AnEarlierRunsFilesAreRemoved)
{
  EXPECT_EQ(Run({folder.Path("native.dat"), "--channels", "3,5", "--format", "svg"}), kExitOk);
  const std::vector<std::string> foreign{"notes.txt", "adc-05.svg", "adc-map.svg.bak", "tdc-99999.png"};
  for (const std::string& file : foreign) std::ofstream(Out(file)) << "kept";
  EXPECT_EQ(Run({folder.Path("native.dat"), "--kind", "adc", "--channels", "4"}), kExitOk) << console.err;
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(Out())) files.push_back(entry.path().filename());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"adc-05.svg", "adc-4.png", "adc-hits.png", "adc-map.png",
                                             "adc-map.svg.bak", "adc.csv", "index.html", "notes.txt",
                                             "tdc-99999.png"}));
}

// ---- Usage errors ------------------------------------------------------------------------------

TEST_F(SpectraTest, UsageErrorsWriteNothing)
{
  const std::vector<std::vector<std::string>> cases{
      {},
      {folder.Path("native.dat"), "--kind", "scaler"},
      {folder.Path("native.dat"), "--bins", "0"},
      {folder.Path("native.dat"), "--bins", "4097"},
      {folder.Path("native.dat"), "--channels", "640"},
      {folder.Path("native.dat"), "--channels", "5-3"},
      {folder.Path("native.dat"), "--format", "gif"},
      {folder.Path("native.dat"), "--steps", "-1"},
  };
  for (const auto& args : cases) {
    EXPECT_EQ(Run(args), kExitUsage);
    EXPECT_EQ(console.err.rfind("tuda spectra: ", 0), 0u) << console.err;
    EXPECT_FALSE(std::filesystem::exists(Out()));
  }
}

// ---- Histograms and channel lists --------------------------------------------------------------

TEST(KindHistogramTest, BinsDivideTheWholeRange)
{
  struct Case {
    const SpectrumKind& kind;
    uint32_t bins;
    uint16_t value;
    uint32_t bin;
    double low;
    double high;
  };
  const Case cases[] = {
      {kAdcKind, 4096, 0, 0, 0, 1},           {kAdcKind, 4096, 4095, 4095, 4095, 4096},
      {kTdcKind, 4096, 65535, 4095, 65520, 65536}, {kTdcKind, 4096, 16, 1, 16, 32},
      {kAdcKind, 3, 1365, 0, 0, 4096.0 / 3},  {kAdcKind, 3, 1366, 1, 4096.0 / 3, 8192.0 / 3},
      {kTdcKind, 1, 65535, 0, 0, 65536},
  };
  for (const Case& c : cases) {
    KindHistogram histogram(c.kind, c.bins);
    histogram.Fill({7}, {static_cast<short>(c.value)});
    EXPECT_EQ(histogram.BinOf(c.value), c.bin) << c.value;
    EXPECT_EQ(histogram.Count(7, c.bin), 1u);
    EXPECT_EQ(histogram.Items(), 1u);
    EXPECT_DOUBLE_EQ(histogram.BinLow(c.bin), c.low);
    EXPECT_DOUBLE_EQ(histogram.BinHigh(c.bin), c.high);
  }
}

TEST(KindHistogramTest, ChannelsBeyondTheKindAndUnevenListsAreLeftOut)
{
  KindHistogram histogram(kTdcKind, 4096);
  histogram.Fill({1, static_cast<short>(kTdcKind.channels), 2}, {10, 20});
  EXPECT_EQ(histogram.Items(), 1u);
  EXPECT_EQ(histogram.OutsideItems(), 1u);
  EXPECT_EQ(histogram.Multiplicity()[2], 1u);
  EXPECT_EQ(histogram.Events(), 1u);
}

TEST(ChannelListTest, ListsAndRanges)
{
  std::vector<uint32_t> channels;
  std::string error;
  EXPECT_TRUE(ParseChannelList("5,1,40-43,1", 640, channels, error));
  EXPECT_EQ(channels, (std::vector<uint32_t>{1, 5, 40, 41, 42, 43}));
  for (const char* bad : {"", "1,,2", "a", "-3", "3-", "1-640", "+1", "2-1"}) {
    channels.clear();
    EXPECT_FALSE(ParseChannelList(bad, 640, channels, error)) << bad;
  }
}

}  // namespace
