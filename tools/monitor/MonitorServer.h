#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tools/monitor/MonitorAccess.h"
#include "tools/monitor/MonitorSnapshot.h"

namespace httplib {
class Server;
}

// The monitor's HTTP side: the page and the JSON API, served from the latest snapshot on the
// board by a pool of at most kMostRequests handler threads. Every request passes the access
// check first; nothing is served from disk. The board, the access and the reset callback must
// outlive the server; Stop (or the destructor) ends its threads.
class MonitorServer {
 public:
  static constexpr size_t kMostRequests = 32;

  MonitorServer(const SnapshotBoard& board, const MonitorAccess& access, std::function<void()> reset);
  ~MonitorServer();

  // Binds `address` at `port` (0: any free port). False, with `error`, when it cannot.
  bool Bind(const std::string& address, int port, std::string& error);
  int Port() const { return port; }
  // Serves on a thread of its own until Stop.
  void Start();
  void Stop();

 private:
  void Route();
  void Secure();

  const SnapshotBoard& board;
  const MonitorAccess& access;
  const std::function<void()> reset;
  std::unique_ptr<httplib::Server> server;
  std::thread listener;
  int port = 0;
};

// "http://127.0.0.1:8350/", "http://[::1]:8350/"
std::string MonitorAddress(const std::string& address, int port);
