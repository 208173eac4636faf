#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/BuiltPrograms.h"
#include "tests/TestSupport.h"
#include "tests/TudaChild.h"

// `tuda monitor` as a child process of the built program, asked over loopback HTTP: its API
// against tuda spectra's tables, its access checks, and a file followed as it is written.

namespace {

using nlohmann::json;

constexpr size_t kBlockBytes = 32768;
// Where tests compare with tuda spectra's tables and the build leaves that program out.
constexpr const char* kNoSpectra = "this build has no tuda spectra to compare with";

// channel -> low edge -> count, as tuda spectra's KIND.csv lists them.
using Table = std::map<uint32_t, std::map<uint64_t, uint64_t>>;

class MonitorTest : public testing::Test {
 protected:
  // Runs `tuda ARGS` to its end; returns its exit status.
  static int Tuda(const std::vector<std::string>& args, std::string* errText = nullptr)
  {
    Child child(args);
    const int status = child.Wait();
    if (errText != nullptr) *errText = child.Err();
    return status;
  }

  std::string Generate(const std::string& name, const std::string& events, const std::string& seed)
  {
    const std::string path = folder.Path(name);
    EXPECT_EQ(Tuda({"gen", path, "--events", events, "--seed", seed}), 0);
    return path;
  }

  // tuda spectra's table of `kind` for the file at `path`.
  Table Spectra(const std::string& path, const std::string& kind)
  {
    const std::string out = folder.Path("spectra-" + std::filesystem::path(path).filename().string());
    EXPECT_EQ(Tuda({"spectra", path, "--out", out, "--kind", kind}), 0);
    std::istringstream csv(ReadFile(out + "/" + kind + ".csv"));
    std::string line;
    std::getline(csv, line);
    Table table;
    unsigned channel = 0;
    unsigned long long low = 0, high = 0, count = 0;
    while (std::getline(csv, line)) {
      if (std::sscanf(line.c_str(), "%u,%llu,%llu,%llu", &channel, &low, &high, &count) == 4) {
        table[channel][low] = count;
      }
    }
    return table;
  }

  static json Get(httplib::Client& client, const std::string& path)
  {
    const httplib::Result result = client.Get(path.c_str());
    if (!result || result->status != 200) return json();
    return json::parse(result->body);
  }

  static int Status(httplib::Client& client, const std::string& path, const httplib::Headers& headers = {})
  {
    const httplib::Result result = client.Get(path.c_str(), headers);
    return result ? result->status : 0;
  }

  // Waits until the monitor's published figures pass `condition`.
  static json StatusWhen(httplib::Client& client, const std::function<bool(const json&)>& condition)
  {
    json status;
    WaitFor([&] {
      status = Get(client, "/api/status");
      return !status.is_null() && condition(status);
    });
    return status;
  }

  // The monitor's hits of `kind` per channel, channels without any left out.
  static std::map<uint32_t, uint64_t> Hits(httplib::Client& client, const std::string& kind)
  {
    const json hits = Get(client, "/api/spectra/" + kind + "/hits");
    std::map<uint32_t, uint64_t> counts;
    for (size_t i = 0; i < hits["channels"].size(); ++i) {
      if (hits["counts"][i].get<uint64_t>() != 0) counts[hits["channels"][i]] = hits["counts"][i];
    }
    return counts;
  }

  // The monitor's counts of `kind`, channel by channel, as a table like the CSV's.
  static Table Served(httplib::Client& client, const std::string& kind)
  {
    Table table;
    for (const auto& [channel, hits] : Hits(client, kind)) {
      const json spectrum = Get(client, "/api/spectra/" + kind + "/" + std::to_string(channel));
      EXPECT_EQ(spectrum["edges"].size(), spectrum["counts"].size() + 1);
      for (size_t bin = 0; bin < spectrum["counts"].size(); ++bin) {
        if (spectrum["counts"][bin] != 0) table[channel][spectrum["edges"][bin].get<uint64_t>()] = spectrum["counts"][bin];
      }
    }
    return table;
  }

  // What the monitor serves of `kind` once its hits per channel are `expected`'s, or at the end of
  // the wait: the last blocks' events may come with a later refresh than their count of blocks.
  // The hits come in one request, the spectra in one per channel.
  static Table ServedWhen(httplib::Client& client, const std::string& kind, const Table& expected)
  {
    std::map<uint32_t, uint64_t> expectedHits;
    for (const auto& [channel, bins] : expected) {
      for (const auto& [low, count] : bins) expectedHits[channel] += count;
    }
    WaitFor([&] { return Hits(client, kind) == expectedHits; });
    return Served(client, kind);
  }

  // Sends `bytes` on a connection of its own; returns the reply, once its head and as much body
  // as its Content-Length says have come, or whatever came before the connection closed.
  static std::string RawRequest(int port, const std::string& bytes, const char* address = "127.0.0.1")
  {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address, &where.sin_addr);
    std::string reply;
    if (connect(socket, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0) {
      const timeval patience{2, 0};
      setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
      send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      char chunk[4096];
      ssize_t got = 0;
      while (!Whole(reply) && (got = recv(socket, chunk, sizeof chunk, 0)) > 0) {
        reply.append(chunk, static_cast<size_t>(got));
      }
    }
    close(socket);
    return reply;
  }

  static bool Whole(const std::string& reply)
  {
    const size_t head = reply.find("\r\n\r\n");
    if (head == std::string::npos) return false;
    const size_t length = reply.find("Content-Length: ");
    const size_t body = length < head ? std::stoul(reply.substr(length + 16)) : 0;
    return reply.size() >= head + 4 + body;
  }

  ScratchFolder folder;
};

// ---- The API against tuda spectra ----------------------------------------------------------------

TEST_F(MonitorTest, EveryEndpointMatchesTheSpectraTables)
{
  if (!Built("spectra")) GTEST_SKIP() << kNoSpectra;
  const std::string path = Generate("run.dat", "5000", "3");
  Child monitor({"monitor", path, "--port", "0"});
  httplib::Client client("127.0.0.1", monitor.Port());
  const json status = StatusWhen(client, [](const json& s) { return s["finished"] == true; });
  EXPECT_EQ(status["bytes"], std::filesystem::file_size(path));
  EXPECT_EQ(status["blocks"], std::filesystem::file_size(path) / kBlockBytes);
  EXPECT_EQ(status["following"], false);
  EXPECT_GT(status["events"].get<uint64_t>(), 0u);

  for (const std::string kind : {"adc", "tdc"}) {
    const Table expected = Spectra(path, kind);
    EXPECT_EQ(Served(client, kind), expected) << kind;
    const json hits = Get(client, "/api/spectra/" + kind + "/hits");
    const json map = Get(client, "/api/spectra/" + kind + "/map?rebin=16");
    ASSERT_EQ(map["edges"].size(), map["counts"][0].size() + 1);
    for (const auto& [channel, bins] : expected) {
      uint64_t items = 0;
      std::vector<uint64_t> rebinned(map["counts"][channel].size());
      for (const auto& [low, count] : bins) {
        items += count;
        size_t bin = 0;
        while (map["edges"][bin + 1].get<uint64_t>() <= low) ++bin;
        rebinned[bin] += count;
      }
      EXPECT_EQ(hits["counts"][channel], items) << kind << " channel " << channel;
      EXPECT_EQ(map["counts"][channel], json(rebinned)) << kind << " channel " << channel;
    }
  }
  EXPECT_EQ(monitor.Interrupt(), 130);
  EXPECT_EQ(monitor.Err().substr(monitor.Err().find('\n') + 1),
            "tuda monitor: " + status["events"].dump() + " events\ntuda monitor: interrupted\n");
}

TEST_F(MonitorTest, BadPathsAndNumbersAreRefused)
{
  Child monitor({"monitor", Generate("run.dat", "100", "1"), "--port", "0"});
  httplib::Client client("127.0.0.1", monitor.Port());
  const std::vector<std::pair<std::string, int>> cases = {
      {"/api/spectra/adc/640", 404},         {"/api/spectra/qdc/hits", 404},  {"/api/spectra/adc/map?rebin=0", 400},
      {"/api/spectra/adc/map?rebin=4097", 400}, {"/api/spectra/adc/map?rebin=x", 400},
      {"/api/spectra/adc/99999999999", 404}, {"/etc/passwd", 404},             {"/../../etc/passwd", 404},
      {"/api/reset", 404},                   {"/api/spectra/adc/639", 200},   {"/", 200}};
  for (const auto& [path, status] : cases) EXPECT_EQ(Status(client, path), status) << path;
}

TEST_F(MonitorTest, ResetClearsTheHistogramsOnlyWithItsHeader)
{
  Child monitor({"monitor", Generate("run.dat", "2000", "1"), "--port", "0", "--refresh", "0.1"});
  httplib::Client client("127.0.0.1", monitor.Port());
  StatusWhen(client, [](const json& s) { return s["finished"] == true; });
  const auto items = [&client] { return Get(client, "/api/status")["kinds"][0]["items"].get<uint64_t>(); };
  ASSERT_GT(items(), 0u);
  EXPECT_EQ(client.Post("/api/reset")->status, 403);
  EXPECT_EQ(client.Post("/api/reset", {{"Origin", "http://example.com"}}, "", "text/plain")->status, 403);
  EXPECT_GT(items(), 0u);
  EXPECT_EQ(client.Post("/api/reset", {{"X-Tuda-Reset", "1"}}, "", "text/plain")->status, 200);
  EXPECT_TRUE(WaitFor([&] { return items() == 0; }));
}

// ---- Access ---------------------------------------------------------------------------------------

TEST_F(MonitorTest, WithoutATokenOnlyLoopbackHostsAreServed)
{
  Child monitor({"monitor", Generate("run.dat", "100", "1"), "--port", "0"});
  const int port = monitor.Port();
  EXPECT_EQ(monitor.Err(), "tuda monitor: http://127.0.0.1:" + std::to_string(port) + "/, Ctrl-C to stop\n");
  httplib::Client client("127.0.0.1", port);
  const std::vector<std::pair<std::string, int>> cases = {
      {"127.0.0.1:" + std::to_string(port), 200}, {"localhost:9999", 200}, {"[::1]:22", 200}, {"LocalHost", 200},
      {"evil.example", 403}, {"127.0.0.1.evil.example:80", 403}, {"localhost.evil.example", 403}, {"", 403}};
  for (const auto& [host, status] : cases) {
    EXPECT_EQ(RawRequest(port, "GET /api/status HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n")
                  .substr(0, 12),
              "HTTP/1.1 " + std::to_string(status))
        << host;
  }
  const httplib::Result result = client.Get("/api/status", {{"Origin", "http://evil.example"}});
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->has_header("Access-Control-Allow-Origin"));
}

TEST_F(MonitorTest, AnotherAddressNeedsTheToken)
{
  const std::string tokenFile = folder.Path("token");
  std::ofstream(tokenFile) << "s3cret-token\n";
  const std::string path = Generate("run.dat", "100", "1");
  Child monitor({"monitor", path, "--port", "0", "--bind", "127.0.0.2", "--token-file", tokenFile});
  httplib::Client client("127.0.0.2", monitor.Port());
  const std::vector<std::tuple<std::string, httplib::Headers, int>> cases = {
      {"/api/status", {}, 401},
      {"/api/status?token=wrong", {}, 401},
      {"/api/status", {{"Authorization", "Bearer wrong"}}, 401},
      {"/api/status", {{"Authorization", "s3cret-token"}}, 401},
      {"/api/status?token=s3cret-token", {}, 200},
      {"/?token=s3cret-token", {}, 200},
      {"/api/status", {{"Authorization", "Bearer s3cret-token"}}, 200},
      {"/api/status", {{"Authorization", "Bearer s3cret-token"}, {"Host", "monitor.example:80"}}, 200}};
  for (const auto& [target, headers, status] : cases) EXPECT_EQ(Status(client, target, headers), status) << target;

  Child generated({"monitor", path, "--port", "0", "--bind", "127.0.0.2"});
  const int port = generated.Port();
  const std::string line = generated.Err();
  const std::string prefix = "tuda monitor: http://127.0.0.2:" + std::to_string(port) + "/?token=";
  ASSERT_EQ(line.substr(0, prefix.size()), prefix);
  const std::string token = line.substr(prefix.size(), 32);
  EXPECT_EQ(line.substr(prefix.size() + 32), ", Ctrl-C to stop\n");
  httplib::Client other("127.0.0.2", port);
  EXPECT_EQ(Status(other, "/api/status"), 401);
  EXPECT_EQ(Status(other, "/api/status?token=" + token), 200);
}

TEST_F(MonitorTest, MalformedOversizedAndRandomRequestsGetAnswersAndLeaveTheServerUp)
{
  Child monitor({"monitor", Generate("run.dat", "100", "1"), "--port", "0"});
  const int port = monitor.Port();
  const std::string host = "Host: 127.0.0.1\r\nConnection: close\r\n";
  EXPECT_EQ(RawRequest(port, "NONSENSE\r\n\r\n").substr(0, 12), "HTTP/1.1 400");
  EXPECT_EQ(RawRequest(port, "GET /" + std::string(100000, 'a') + " HTTP/1.1\r\n" + host + "\r\n").substr(0, 12),
            "HTTP/1.1 414");
  httplib::Client client("127.0.0.1", port);
  const httplib::Result large = client.Post("/api/reset", {{"X-Tuda-Reset", "1"}}, std::string(100000, 'x'), "text/plain");
  ASSERT_TRUE(large);
  EXPECT_EQ(large->status, 413);
  EXPECT_EQ(client.Put("/api/status", "", "text/plain")->status / 100, 4);
  EXPECT_EQ(client.Delete("/")->status / 100, 4);

  std::mt19937 random(7);
  const std::vector<std::string> methods = {"GET", "POST", "OPTIONS", "G\x01T", ""};
  for (int i = 0; i < 1000; ++i) {
    std::string bytes = methods[random() % methods.size()] + " /";
    const size_t length = random() % 300;
    // Any byte but the line ends, so that each request is whole and is answered at once.
    for (size_t j = 0; j < length; ++j) bytes += static_cast<char>(1 + random() % 255);
    bytes.erase(std::remove_if(bytes.begin(), bytes.end(), [](char c) { return c == '\r' || c == '\n'; }), bytes.end());
    bytes += " HTTP/1.1\r\n" + host + "Content-Length: 0\r\n\r\n";
    const std::string reply = RawRequest(port, bytes);
    // A reply, if any, is never a server failure.
    if (!reply.empty()) {
      EXPECT_EQ(reply.substr(0, 10) == "HTTP/1.1 2" || reply.substr(0, 10) == "HTTP/1.1 4", true) << reply.substr(0, 40);
    }
  }
  EXPECT_EQ(Status(client, "/api/status"), 200);
}

// ---- Following a file as it is written --------------------------------------------------------------

TEST_F(MonitorTest, AFileWrittenInPiecesEndsWithTheSpectraCounts)
{
  if (!Built("spectra")) GTEST_SKIP() << kNoSpectra;
  const std::string whole = ReadFile(Generate("whole.dat", "5000", "5"));
  const std::string path = folder.Path("run.dat");
  Append(path, "");
  Child monitor({"monitor", path, "--follow", "--port", "0", "--refresh", "0.05"});
  httplib::Client client("127.0.0.1", monitor.Port());
  // A block and a half: only the whole block is decoded, and the half is no trailing piece.
  Append(path, whole.substr(0, kBlockBytes + kBlockBytes / 2));
  json status = StatusWhen(client, [](const json& s) { return s["blocks"] == 1; });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  status = Get(client, "/api/status");
  EXPECT_EQ(status["blocks"], 1);
  EXPECT_EQ(status["following"], true);
  EXPECT_EQ(status["trailingBytes"], 0);
  for (size_t at = kBlockBytes + kBlockBytes / 2; at < whole.size(); at += 12345) Append(path, whole.substr(at, 12345));
  const size_t blocks = whole.size() / kBlockBytes;
  StatusWhen(client, [blocks](const json& s) { return s["blocks"] == blocks; });
  for (const std::string kind : {"adc", "tdc"}) {
    const Table expected = Spectra(folder.Path("whole.dat"), kind);
    EXPECT_EQ(ServedWhen(client, kind, expected), expected) << kind;
  }
  EXPECT_EQ(monitor.Interrupt(), 130);
}

TEST_F(MonitorTest, AShrunkOrReplacedFileIsReadAgainAsANewRun)
{
  if (!Built("spectra")) GTEST_SKIP() << kNoSpectra;
  const std::string first = ReadFile(Generate("first.dat", "5000", "1"));
  const std::string second = ReadFile(Generate("second.dat", "3000", "2"));
  const std::string path = folder.Path("run.dat");
  const std::vector<std::pair<std::string, std::function<void()>>> cases = {
      {" shrank to ",
       [&] {
         std::filesystem::resize_file(path, 0);
         Append(path, second);
       }},
      {" was replaced; ",
       [&] {
         Append(folder.Path("next.dat"), second);
         std::filesystem::rename(folder.Path("next.dat"), path);
       }}};
  for (const auto& [line, change] : cases) {
    std::filesystem::remove(path);
    Append(path, first);
    Child monitor({"monitor", path, "--follow", "--port", "0", "--refresh", "0.05"});
    httplib::Client client("127.0.0.1", monitor.Port());
    StatusWhen(client, [&](const json& s) { return s["blocks"] == first.size() / kBlockBytes; });
    change();
    StatusWhen(client, [](const json& s) { return s["runs"] == 2; });
    StatusWhen(client, [&](const json& s) { return s["blocks"] == (first.size() + second.size()) / kBlockBytes; });
    const Table expected = Spectra(folder.Path("second.dat"), "adc");
    EXPECT_EQ(ServedWhen(client, "adc", expected), expected) << line;
    EXPECT_EQ(monitor.Interrupt(), 130);
    EXPECT_NE(monitor.Err().find("tuda monitor: " + path + line), std::string::npos) << monitor.Err();
  }
}

TEST_F(MonitorTest, IdleTimeEndsTheReadingWithSuccess)
{
  const std::string path = Generate("run.dat", "1000", "1");
  Append(path, std::string(100, '\0'));
  Child monitor({"monitor", path, "--follow", "--idle", "0.3", "--port", "0"});
  monitor.Port();
  EXPECT_EQ(monitor.Wait(), 0);
  // The file is read as it stands once the writer is done: its trailing piece is told.
  EXPECT_NE(monitor.Err().find(" 100 bytes in 1 trailing piece shorter than a block not decoded"), std::string::npos)
      << monitor.Err();
}

TEST_F(MonitorTest, ACompressedFileIsNotFollowed)
{
  const std::string path = Generate("run.dat.gz", "100", "1");
  std::string err;
  EXPECT_EQ(Tuda({"monitor", path, "--follow", "--port", "0"}, &err), 2);
  EXPECT_NE(err.find("tuda monitor: " + path + " is gzip-compressed; --follow reads plain data files only\n"),
            std::string::npos)
      << err;
}

}  // namespace
