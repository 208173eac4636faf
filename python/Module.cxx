// The extension module tuda._tuda: the reader's batches, block ranges, stat, check and histograms
// for the Python package `tuda`, which gives them their Python shape.

#include <cstdio>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "python/BatchReader.h"
#include "python/BlockRange.h"
#include "python/FileSummaries.h"
#include "python/HistogramBinding.h"
#include "python/Interruption.h"
#include "python/NumpyArrays.h"
#include "reader/TCodec.h"
#include "tools/cli/ZstdWindowOption.h"

namespace py = pybind11;

namespace {

const char* const kProblemNames[] = {"", "missing", "not_opened", "no_data_block", "damaged"};
// Indexed by TTudaCause, as the reader's accounts name the causes.
const char* const kCauseKeys[kTudaCauses] = {
    "unknown_group",        "group_item",        "extended_group_item", "groups_above_64",
    "token_past_block_end", "no_end_of_block_marker", "after_data_length", "zero_padding_after_data_length"};

// None, or (kind, file, message).
py::object ProblemTuple(const ReadProblem& problem)
{
  if (!problem) return py::none();
  return py::make_tuple(kProblemNames[problem.kind], problem.file, problem.message);
}

// The zstd window of `tuda --zstd-window-log`; 0 is the library's default.
ZstdWindowOption Window(uint64_t log)
{
  ZstdWindowOption window;
  const std::string refusal = window.Set(log);
  if (!refusal.empty()) throw py::value_error("zstd_window_log " + refusal);
  return window;
}

// Runs `read` with Python's lock released; Ctrl-C raises KeyboardInterrupt after `discard`.
template <typename Read, typename Discard>
auto Unlocked(Read read, Discard discard)
{
  try {
    const py::gil_scoped_release unlocked;
    return read();
  } catch (const Interrupted&) {
    discard();
    throw py::error_already_set();
  }
}

py::tuple NextBatch(BatchReader& reader, uint64_t events, uint64_t bytes)
{
  BatchReader::Findings findings;
  EventArrays batch = Unlocked([&] { return reader.Next({events, bytes}, findings); }, [&] { reader.Discard(); });
  py::object arrays = batch.Events() > 0 ? py::object(ToDict(std::move(batch), reader.Pool())) : py::none();
  return py::make_tuple(arrays, findings.lossWarnings, ProblemTuple(findings.problem));
}

py::dict LineCounts(const BatchReader& reader)
{
  py::dict counts;
  const auto& drops = reader.Lines().Drops();
  for (size_t cause = 0; cause < kTudaCauses; ++cause) {
    if (drops[cause] > 0) counts[kCauseKeys[cause]] = drops[cause];
  }
  return counts;
}

py::tuple ReadRange(const std::string& file, uint64_t firstBlock, uint64_t blocks, unsigned kinds, bool force,
                    uint64_t windowLog)
{
  ReadProblem problem;
  const BlockRange range{file, firstBlock, blocks, kinds, force, Window(windowLog)};
  EventArrays arrays = Unlocked([&] { return ReadBlockRange(range, problem); }, [] {});
  return py::make_tuple(ToDict(std::move(arrays)), ProblemTuple(problem));
}

py::tuple Stat(const std::string& file, bool force, uint64_t windowLog)
{
  ReadProblem problem;
  const ZstdWindowOption window = Window(windowLog);
  std::string json = Unlocked([&] { return StatJson(file, force, window, problem); }, [] {});
  return py::make_tuple(json, ProblemTuple(problem));
}

py::tuple Check(const std::string& file, bool allBlocks, uint64_t windowLog)
{
  ReadProblem problem;
  const ZstdWindowOption window = Window(windowLog);
  const CheckResult result = Unlocked([&] { return CheckOne(file, allBlocks, window, problem); }, [] {});
  if (problem) return py::make_tuple(py::none(), ProblemTuple(problem));
  py::dict verdict;
  verdict["file"] = file;
  verdict["looks_right"] = result.looksRight;
  verdict["verdict"] = result.verdict;
  verdict["evidence"] = result.evidence;
  verdict["codec"] = result.codec;
  verdict["damaged"] = result.damaged;
  verdict["read_to_end"] = result.readToEnd;
  verdict["blocks"] = result.blocks;
  return py::make_tuple(verdict, py::none());
}

// "none" for a plain file, else the codec its first bytes name.
std::string CodecOf(const std::string& file)
{
  unsigned char bytes[kCodecMagicBytes] = {};
  FILE* stream = std::fopen(file.c_str(), "rb");
  if (stream == nullptr) {
    PyErr_SetFromErrnoWithFilename(PyExc_OSError, file.c_str());
    throw py::error_already_set();
  }
  const size_t count = std::fread(bytes, 1, sizeof bytes, stream);
  std::fclose(stream);
  const TCodec codec = CodecOfFirstBytes(bytes, count);
  return codec == TCodec::kNone ? "none" : CodecName(codec);
}

}  // namespace

PYBIND11_MODULE(_tuda, module)
{
  module.doc() = "The reader of TUDA list-mode data files, for the package tuda";
  InterruptLook::NoteMainThread();
  module.attr("__version__") = TUDA_PROJECT_VERSION;
  module.attr("BLOCK_BYTES") = TEGBlockSize;
  module.attr("KIND_BITS") = py::dict(py::arg("adc") = unsigned(kAdcBit), py::arg("tdc") = unsigned(kTdcBit),
                                      py::arg("scaler") = unsigned(kScalerBit), py::arg("epics") = unsigned(kEpicsBit));

  py::class_<BatchReader>(module, "_Reader")
      .def(py::init([](std::vector<std::string> files, unsigned kinds, bool force, uint64_t skip, uint64_t limit,
                       uint64_t windowLog) {
             const BatchReader::Options options{kinds, force, skip, limit, Window(windowLog)};
             return new BatchReader(std::move(files), options);
           }),
           py::arg("files"), py::arg("kinds"), py::arg("force"), py::arg("skip"), py::arg("limit"),
           py::arg("zstd_window_log"))
      .def("check_files", [](const BatchReader& reader) { return ProblemTuple(reader.CheckFiles()); })
      .def("next", &NextBatch, py::arg("events"), py::arg("bytes"))
      .def_property_readonly("lines", [](const BatchReader& reader) { return reader.Lines().Lines(); })
      .def_property_readonly("line_counts", &LineCounts)
      .def_property_readonly("omitted_lines", [](const BatchReader& reader) { return reader.Lines().OmittedLines(); });

  module.def("_read_range", &ReadRange, py::arg("file"), py::arg("first_block"), py::arg("blocks"), py::arg("kinds"),
             py::arg("force"), py::arg("zstd_window_log"));
  module.def("_stat", &Stat, py::arg("file"), py::arg("force"), py::arg("zstd_window_log"));
  module.def("_check", &Check, py::arg("file"), py::arg("all_blocks"), py::arg("zstd_window_log"));
  module.def("_codec", &CodecOf, py::arg("file"));
  DeclareHistogram(module);
}
