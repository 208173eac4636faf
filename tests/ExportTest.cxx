#include "tools/Tuda.h"

#include <gtest/gtest.h>
#include <hdf5.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/InProcessPrograms.h"
#include "tests/TestSupport.h"
#include "tests/WrittenRun.h"
#include "tools/console/ExitStatus.h"
#include "tools/process/Version.h"

// `tuda export` in-process, its HDF5 files read back through the HDF5 library, and the program
// TUDA_PROGRAM_PATH that the build names for standard output.

namespace {

// Four events come back from the reader: the empty one before the first event-start token, then
// these three; the closing event-start token returns the last.
const std::vector<WriterEvent> kEvents{
    {{tokens::Adc(0, 100), tokens::Adc(5, 4095), tokens::Tdc(3, 65535), tokens::Scaler(2, 0xffffffff),
      tokens::Epics(1, 70000)}},
    {},
    {{tokens::Tdc(0, 0), tokens::Adc(31, 7)}},
};

constexpr const char* kCsv =
    "event,kind,channel,value\n"
    "1,adc,0,100\n"
    "1,adc,5,4095\n"
    "1,tdc,3,65535\n"
    "1,scaler,2,4294967295\n"
    "1,epics,1,70000\n"
    "3,adc,31,7\n"
    "3,tdc,0,0\n";

// One kind's three datasets as read back.
struct KindRows {
  std::vector<uint16_t> channel;
  std::vector<double> value;  // every value type converted by the library
  std::vector<uint64_t> offsets;
};

bool operator==(const KindRows& a, const KindRows& b)
{
  return a.channel == b.channel && a.value == b.value && a.offsets == b.offsets;
}

std::ostream& operator<<(std::ostream& out, const KindRows& rows)
{
  out << "channel";
  for (auto c : rows.channel) out << ' ' << c;
  out << " value";
  for (auto v : rows.value) out << ' ' << v;
  out << " offsets";
  for (auto o : rows.offsets) out << ' ' << o;
  return out;
}

template <typename T>
std::vector<T> ReadDataset(hid_t file, const std::string& name, hid_t memoryType)
{
  const hid_t dataset = H5Dopen2(file, name.c_str(), H5P_DEFAULT);
  if (dataset < 0) return {};
  const hid_t space = H5Dget_space(dataset);
  std::vector<T> rows(static_cast<size_t>(H5Sget_simple_extent_npoints(space)));
  if (!rows.empty()) H5Dread(dataset, memoryType, H5S_ALL, H5S_ALL, H5P_DEFAULT, rows.data());
  H5Sclose(space);
  H5Dclose(dataset);
  return rows;
}

uint64_t ReadNumberAttribute(hid_t file, const char* name)
{
  uint64_t number = UINT64_MAX;
  const hid_t attribute = H5Aopen(file, name, H5P_DEFAULT);
  H5Aread(attribute, H5T_NATIVE_UINT64, &number);
  H5Aclose(attribute);
  return number;
}

// What an HDF5 export holds.
struct Hdf5Contents {
  bool opened = false;
  std::map<std::string, KindRows> kinds;
  uint64_t events = 0;
  uint64_t firstEvent = 0;
  std::string firstFile;
  std::string version;
};

// The first text of a text attribute, a single one or a list.
std::string ReadFirstText(hid_t file, const char* name)
{
  const hid_t attribute = H5Aopen(file, name, H5P_DEFAULT);
  const hid_t type = H5Aget_type(attribute);
  const hid_t space = H5Aget_space(attribute);
  std::vector<char*> texts(std::max<hssize_t>(H5Sget_simple_extent_npoints(space), 1), nullptr);
  std::string first;
  if (H5Aread(attribute, type, texts.data()) >= 0 && texts[0] != nullptr) first = texts[0];
  for (char* text : texts) H5free_memory(text);
  H5Sclose(space);
  H5Tclose(type);
  H5Aclose(attribute);
  return first;
}

Hdf5Contents ReadHdf5(const std::string& path)
{
  Hdf5Contents contents;
  const hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  if (file < 0) return contents;
  contents.opened = true;
  for (const std::string kind : {"adc", "tdc", "scaler", "epics"}) {
    KindRows& rows = contents.kinds[kind];
    rows.channel = ReadDataset<uint16_t>(file, kind + "/channel", H5T_NATIVE_UINT16);
    rows.value = ReadDataset<double>(file, kind + "/value", H5T_NATIVE_DOUBLE);
    rows.offsets = ReadDataset<uint64_t>(file, kind + "/offsets", H5T_NATIVE_UINT64);
  }
  contents.events = ReadNumberAttribute(file, "events");
  contents.firstEvent = ReadNumberAttribute(file, "first_event");
  contents.firstFile = ReadFirstText(file, "files");
  contents.version = ReadFirstText(file, "tuda_version");
  H5Fclose(file);
  return contents;
}

std::string ReadText(const std::string& path)
{
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class ExportTest : public testing::Test {
 protected:
  void SetUp() override
  {
    for (const bool swapped : {false, true}) WriteRun(DataFile(swapped), kEvents, swapped);
    std::ofstream(folder.Path("empty.dat"));
  }

  std::string DataFile(bool swapped) const { return folder.Path(swapped ? "swapped.dat" : "native.dat"); }

  int Run(std::vector<std::string> args)
  {
    args.insert(args.begin(), "export");
    int status = 0;
    console = CaptureConsole([&] { status = RunTudaHere(args); });
    return status;
  }

  ScratchFolder folder;
  Console console;
};

TEST_F(ExportTest, Hdf5ReadsBackAsTheEventsInBothByteOrdersCompressedOrNot)
{
  for (const bool swapped : {false, true}) {
    for (const bool compress : {false, true}) {
      SCOPED_TRACE(std::to_string(swapped) + std::to_string(compress));
      const std::string out = folder.Path("events.h5");
      std::vector<std::string> args{DataFile(swapped), "--out", out, "--overwrite"};
      if (compress) args.push_back("--compress");
      EXPECT_EQ(Run(args), kExitOk);
      const Hdf5Contents contents = ReadHdf5(out);
      ASSERT_TRUE(contents.opened);
      EXPECT_EQ(contents.kinds.at("adc"), (KindRows{{0, 5, 31}, {100, 4095, 7}, {0, 0, 2, 2, 3}}));
      EXPECT_EQ(contents.kinds.at("tdc"), (KindRows{{3, 0}, {65535, 0}, {0, 0, 1, 1, 2}}));
      EXPECT_EQ(contents.kinds.at("scaler"), (KindRows{{2}, {4294967295.0}, {0, 0, 1, 1, 1}}));
      EXPECT_EQ(contents.kinds.at("epics"), (KindRows{{1}, {70000}, {0, 0, 1, 1, 1}}));
      EXPECT_EQ(contents.events, 4u);
      EXPECT_EQ(contents.firstEvent, 0u);
      EXPECT_EQ(contents.firstFile, DataFile(swapped));
      EXPECT_EQ(contents.version, TudaVersion());
      EXPECT_EQ(console.out, "OpenDataFile: Opened data file " + DataFile(swapped) + "\n");
      EXPECT_EQ(console.err.rfind("tuda export: 4 events, 7 items, ", 0), 0u) << console.err;
    }
  }
}

TEST_F(ExportTest, CsvHasOneRowPerItem)
{
  const std::string out = folder.Path("events.csv");
  EXPECT_EQ(Run({DataFile(false), "--out", out}), kExitOk);
  EXPECT_EQ(ReadText(out), kCsv);
}

TEST_F(ExportTest, SkipPassesOverEventsThatKeepTheirNumbers)
{
  const std::string csv = folder.Path("part.csv");
  EXPECT_EQ(Run({DataFile(false), "--out", csv, "--skip", "1", "--events", "1"}), kExitOk);
  EXPECT_EQ(ReadText(csv), "event,kind,channel,value\n1,adc,0,100\n1,adc,5,4095\n1,tdc,3,65535\n"
                           "1,scaler,2,4294967295\n1,epics,1,70000\n");
  const std::string h5 = folder.Path("part.h5");
  EXPECT_EQ(Run({DataFile(false), "--out", h5, "--skip", "2"}), kExitOk);
  const Hdf5Contents contents = ReadHdf5(h5);
  EXPECT_EQ(contents.kinds.at("adc"), (KindRows{{31}, {7}, {0, 0, 1}}));
  EXPECT_EQ(contents.events, 2u);
  EXPECT_EQ(contents.firstEvent, 2u);
}

// As --steps 0 in run and spectra, no limit at all.
TEST_F(ExportTest, EventsZeroWritesEveryEvent)
{
  const std::string out = folder.Path("events.csv");
  EXPECT_EQ(Run({DataFile(false), "--out", out, "--events", "0"}), kExitOk);
  EXPECT_EQ(ReadText(out), kCsv);
}

TEST_F(ExportTest, EmptyFileGivesEmptyDatasets)
{
  const std::string out = folder.Path("empty.h5");
  EXPECT_EQ(Run({folder.Path("empty.dat"), "--out", out}), kExitOk);
  const Hdf5Contents contents = ReadHdf5(out);
  ASSERT_TRUE(contents.opened);
  for (const auto& [kind, rows] : contents.kinds) EXPECT_EQ(rows, (KindRows{{}, {}, {0}})) << kind;
  EXPECT_EQ(contents.events, 0u);
}

TEST_F(ExportTest, StandardOutputCarriesTheCsvAlone)
{
  const std::string err = folder.Path("err.txt");
  const std::string command = std::string(TUDA_PROGRAM_PATH) + " export " + DataFile(false) + " --out - 2>" + err;
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(out, kCsv);
  EXPECT_EQ(ReadText(err).rfind("OpenDataFile: Opened data file " + DataFile(false) + "\ntuda export: 4 events", 0),
            0u);
}

// ---- Failures ----------------------------------------------------------------------------------

TEST_F(ExportTest, MissingFileIsReportedAfterTheRest)
{
  const std::string out = folder.Path("events.csv");
  EXPECT_EQ(Run({folder.Path("absent.dat"), DataFile(false), "--out", out}), kExitDataError);
  EXPECT_EQ(ReadText(out), kCsv);
  EXPECT_EQ(console.err.rfind("OpenDataFile: ERROR - Could not find file ", 0), 0u);
}

TEST_F(ExportTest, NothingIsLeftBehindWhenNoFileOpens)
{
  const std::string out = folder.Path("events.csv");
  EXPECT_EQ(Run({folder.Path("absent.dat"), "--out", out}), kExitDataError);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(console.err, "OpenDataFile: ERROR - Could not find file " + folder.Path("absent.dat") + "\ntuda export: " +
                             folder.Path("absent.dat") + ": No such file or directory\n");
}

TEST_F(ExportTest, UnwritableOutputFails)
{
  EXPECT_EQ(Run({DataFile(false), "--out", DataFile(false)}), kExitDataError);
  EXPECT_EQ(console.err, "tuda export: " + DataFile(false) + " exists; give --overwrite to replace it\n");
  EXPECT_EQ(Run({DataFile(false), "--out", folder.Path("no/such.h5")}), kExitDataError);
  EXPECT_EQ(console.err,
            "tuda export: cannot write " + folder.Path("no/such.h5") + ": No such file or directory\n");
  EXPECT_EQ(Run({DataFile(false), "--out", folder.Path("no/such.csv")}), kExitDataError);
  EXPECT_EQ(console.err,
            "tuda export: cannot write " + folder.Path("no/such.csv") + ": No such file or directory\n");
}

TEST_F(ExportTest, UsageErrors)
{
  const std::vector<std::vector<std::string>> cases{
      {DataFile(false)},
      {"--out", "x.h5"},
      {DataFile(false), "--out", "-", "--format", "hdf5"},
      {DataFile(false), "--out", "x.csv", "--compress"},
      {DataFile(false), "--out", "x.h5", "--skip", "-1"},
      {DataFile(false), "--out", "x.h5", "--events", "1.5"},
      {DataFile(false), "--out", "x.h5", "--format", "json"},
  };
  for (const auto& args : cases) {
    EXPECT_EQ(Run(args), kExitUsage);
    EXPECT_EQ(console.err.rfind("tuda export: ", 0), 0u) << console.err;
  }
}

}  // namespace
