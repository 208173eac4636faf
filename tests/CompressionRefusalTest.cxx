// A reader built without compressed files refuses them with one line and opens no file, rather
// than decoding compressed bytes as blocks.
#include <gtest/gtest.h>

#include <fstream>

#include "reader/TTudaData.h"
#include "tests/TestSupport.h"

namespace {

TEST(CompressionRefusalTest, ACompressedFileIsRefusedWithOneLine)
{
  ScratchFolder folder;
  const std::string path = folder.Path("run.dat.gz");
  std::ofstream(path, std::ios::binary) << std::string("\x1f\x8b\x08\x00", 4) << std::string(TEGBlockSize, 'x');
  TTudaData reader;
  const Console console = CaptureConsole([&] { reader.OpenDataFile(path.c_str()); });
  EXPECT_EQ(console.out, "");
  EXPECT_EQ(console.err,
            "OpenDataFile: ERROR - " + path + " is gzip-compressed, and this build reads no compressed files\n");
  EXPECT_FALSE(reader.fFile.is_open());
  EXPECT_FALSE(reader.GetDataBlock());
  EXPECT_EQ(std::string(CompiledCodecs()), "");
}

}  // namespace
