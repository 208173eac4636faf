#include "tools/monitor/MonitorCommand.h"

#include <chrono>
#include <iostream>
#include <optional>
#include <thread>

#include "tools/cli/CommandLine.h"
#include "tools/cli/FollowOptions.h"
#include "tools/cli/OptionChecks.h"
#include "tools/cli/ZstdWindowOption.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/Interrupt.h"
#include "tools/console/Messages.h"
#include "tools/input/FirstBlockCheck.h"
#include "tools/input/ReaderAccount.h"
#include "tools/monitor/MonitorAccess.h"
#include "tools/monitor/MonitorDecoder.h"
#include "tools/monitor/MonitorServer.h"
#include "tools/process/SeparatePrograms.h"

namespace {

constexpr const char* kName = kMonitorProgram.name;
constexpr uint64_t kDefaultPort = 8350;
constexpr uint64_t kMostPort = 65535;
constexpr const char* kDefaultAddress = "127.0.0.1";
// Addresses only this machine reaches: no token is needed there.
constexpr const char* kLoopbackAddresses[] = {"127.0.0.1", "::1", "localhost"};
constexpr double kLeastRefreshSeconds = 0.05;
constexpr double kMostRefreshSeconds = 3600;
// How often the finished monitor looks for Ctrl-C and a reset.
constexpr std::chrono::milliseconds kServeLook{50};

bool IsLoopback(const std::string& address)
{
  for (const char* loopback : kLoopbackAddresses) {
    if (address == loopback) return true;
  }
  return false;
}

class MonitorCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description(
        "Decodes FILE (standard input by default) with one reader and serves, while it\n"
        "reads and after, a web page of the run: events, rates, what the reader lost, and\n"
        "the ADC and TDC spectra of tuda spectra (items per channel, value against channel,\n"
        "one channel's spectrum), with a JSON API beside it:\n"
        "  GET /api/status, GET /api/spectra/KIND/hits, GET /api/spectra/KIND/map?rebin=N,\n"
        "  GET /api/spectra/KIND/CHANNEL, POST /api/reset (with the header X-Tuda-Reset: 1).\n"
        "It listens on 127.0.0.1 unless --bind names another address; any address but\n"
        "127.0.0.1, ::1 and localhost needs a token, read from --token-file or made and\n"
        "printed once, carried as 'Authorization: Bearer TOKEN' or ?token=TOKEN.");
    app.add_option("FILE", file, "the data file, - for standard input (default -)")->check(NotEmpty());
    follow.Declare(app);
    AddCount(app, "--port", port, 0, kMostPort, "the port, 0 for any free one (default 8350)");
    app.add_option("--bind", address, "the address to listen on (default 127.0.0.1)")->check(NotEmpty())
        ->type_name("ADDR");
    AddDecimal(app, "--refresh", refreshSeconds, kMostRefreshSeconds,
               "seconds between updates of the figures and the page (default 1)")
        ->type_name("SECONDS");
    app.add_option("--token-file", tokenFile, "the token every request must carry, on the file's first line")
        ->check(NotEmpty())
        ->type_name("FILE");
    account.Declare(app);
    window.Declare(app);
    app.footer(
        "The address is printed once on standard error. Without --follow the file is read\n"
        "to its end and its final spectra served until Ctrl-C.\n\n"
        "Exit status: 0 after --idle ended the reading, 1 when the file did not open or the\n"
        "address could not be listened on, 2 on a usage error (--follow on a compressed\n"
        "file), 130 after Ctrl-C.");
    firstBlock.Declare(app, FirstBlockCheck::kEndsTheCommand);
  }

  int Run() override
  {
    if (refreshSeconds < kLeastRefreshSeconds) return UsageError(kName, "--refresh needs at least 0.05 seconds");
    std::string token;
    if (!tokenFile.empty()) {
      token = ReadTokenFile(tokenFile);
      if (token.empty()) return DataError(kName, "no token in " + tokenFile);
    } else if (!IsLoopback(address)) {
      token = NewToken();
    }
    if (!firstBlock.Passes({file})) return kExitDataError;

    SnapshotBoard board;
    MonitorDecoder decoder(file, refreshSeconds, board);
    const MonitorAccess access(token);
    MonitorServer server(board, access, [&decoder] { decoder.RequestReset(); });
    std::string error;
    if (!server.Bind(address, static_cast<int>(port), error)) return DataError(kName, error);
    const bool tokenMade = !token.empty() && tokenFile.empty();
    std::cerr << "tuda monitor: " << MonitorAddress(address, server.Port()) << (tokenMade ? "?token=" + token : "")
              << ", Ctrl-C to stop" << std::endl;
    server.Start();

    const InterruptWatch watch;
    const int status = Read(decoder, watch);
    if (status == kExitOk && !follow.EndedIdle(decoder.Reader())) Serve(decoder, watch);
    server.Stop();
    return status != kExitOk ? status : Finish(decoder, watch);
  }

 private:
  // Reads the file to the end of its data, again from its start after each replacement. Returns
  // kExitOk or the status the command ends with at once.
  int Read(MonitorDecoder& decoder, const InterruptWatch& watch)
  {
    TTudaData& reader = decoder.Reader();
    window.Install(reader);
    follow.Apply(reader, [&decoder, &watch] {
      decoder.Look();
      return KeepGoing(watch);
    });
    decoder.SetFollowing(follow.Following());
    for (;;) {
      const FirstBlockCheck::Start start = firstBlock.Open(reader, file, watch.Flag());
      if (start == FirstBlockCheck::kRefused || !reader.IsOpen()) return kExitDataError;
      if (!follow.Accepts(reader, file)) return kExitUsage;
      allRead = decoder.Decode([&watch] { return KeepGoing(watch); });
      if (!KeepGoing(watch)) break;
      const std::optional<uint64_t> heldItemsLost = follow.Restarts(reader, file);
      if (!heldItemsLost) break;
      decoder.Restart(*heldItemsLost);
    }
    decoder.Finish();
    return kExitOk;
  }

  // The final figures stay served until Ctrl-C.
  void Serve(MonitorDecoder& decoder, const InterruptWatch& watch)
  {
    while (KeepGoing(watch)) {
      decoder.Look();
      std::this_thread::sleep_for(kServeLook);
    }
  }

  int Finish(const MonitorDecoder& decoder, const InterruptWatch& watch)
  {
    std::cerr << "tuda monitor: " << decoder.Events() << " events" << std::endl;
    const int status = EndStatus(watch, kName, allRead);
    account.Write(decoder.Account(), "tuda stat shows more");
    return status;
  }

  std::string file = "-";
  FollowOptions follow{kName};
  uint64_t port = kDefaultPort;
  std::string address = kDefaultAddress;
  double refreshSeconds = 1;
  std::string tokenFile;
  FirstBlockCheck firstBlock{kName};
  ZstdWindowOption window;
  AccountLine account{kName};
  bool allRead = true;
};

}  // namespace

const CommandEntry kMonitorCommand{kName, kMonitorProgram.summary, MakeCommand<MonitorCommand>};
