#include "tools/monitor/MonitorServer.h"

#include <httplib.h>

#include "tools/monitor/MonitorJson.h"
#include "tools/monitor/MonitorPage.h"

namespace {

constexpr const char* kJson = "application/json";
// A POST that changes state must carry this header: a form of another site cannot send it.
constexpr const char* kResetHeader = "X-Tuda-Reset";
// No request of this API has a body worth more.
constexpr size_t kMostBodyBytes = 4096;
// Digits of a channel or rebin number: enough for any, few enough to never overflow.
constexpr size_t kMostDigits = 6;

void Reply(httplib::Response& response, int status, const std::string& body)
{
  response.status = status;
  response.set_header("Cache-Control", "no-store");
  response.set_content(body, kJson);
}

// A strict decimal number of at most kMostDigits digits; false for anything else.
bool ParseNumber(const std::string& text, uint32_t& number)
{
  if (text.empty() || text.size() > kMostDigits) return false;
  number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<uint32_t>(c - '0');
  }
  return true;
}

}  // namespace

MonitorServer::MonitorServer(const SnapshotBoard& board, const MonitorAccess& access, std::function<void()> reset)
    : board(board), access(access), reset(std::move(reset)), server(std::make_unique<httplib::Server>())
{
  server->new_task_queue = [] { return new httplib::ThreadPool(kMostRequests); };
  server->set_payload_max_length(kMostBodyBytes);
  Secure();
  Route();
}

MonitorServer::~MonitorServer() { Stop(); }

bool MonitorServer::Bind(const std::string& address, int wanted, std::string& error)
{
  port = wanted == 0 ? server->bind_to_any_port(address) : (server->bind_to_port(address, wanted) ? wanted : -1);
  if (port > 0) return true;
  error = "cannot listen on " + MonitorAddress(address, wanted);
  return false;
}

void MonitorServer::Start()
{
  listener = std::thread([this] { server->listen_after_bind(); });
}

void MonitorServer::Stop()
{
  if (!listener.joinable()) return;
  server->stop();
  listener.join();
}

// Before any route: the token, or else the Host; then only GET, and POST for the reset.
void MonitorServer::Secure()
{
  server->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    const MonitorAccess::Verdict verdict = access.Check(
        request.get_header_value("Authorization"), request.get_param_value("token"), request.get_header_value("Host"));
    if (verdict == MonitorAccess::kNoToken) {
      Reply(response, 401, ErrorJson("a token is needed"));
      response.set_header("WWW-Authenticate", "Bearer");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (verdict == MonitorAccess::kForeignHost) {
      Reply(response, 403, ErrorJson("the Host header names no loopback host"));
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server->set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty()) Reply(response, response.status, ErrorJson("refused with status " + std::to_string(response.status)));
  });
  server->set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
    Reply(response, 500, ErrorJson("the request could not be served"));
  });
}

void MonitorServer::Route()
{
  server->Get("/", [](const httplib::Request&, httplib::Response& response) {
    const std::string_view page = MonitorPage();
    response.set_header("Content-Security-Policy",
                        "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                        "connect-src 'self'; img-src 'self'");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_content(page.data(), page.size(), "text/html; charset=utf-8");
  });
  server->Get("/api/status", [this](const httplib::Request&, httplib::Response& response) {
    Reply(response, 200, StatusJson(*board.Latest(), MonitorClock::now()));
  });
  server->Get(R"(/api/spectra/([a-z]+)/(hits|map|[0-9]+))", [this](const httplib::Request& request,
                                                                   httplib::Response& response) {
    const std::shared_ptr<const MonitorSnapshot> snapshot = board.Latest();
    size_t index = 0;
    const KindHistogram* histogram = snapshot->Find(request.matches[1].str(), index);
    const std::string what = request.matches[2].str();
    uint32_t number = 0;
    if (histogram == nullptr) return Reply(response, 404, ErrorJson("no such kind"));
    if (what == "hits") return Reply(response, 200, HitsJson(*histogram, snapshot->hits[index]));
    if (what == "map") {
      const std::string rebin = request.has_param("rebin") ? request.get_param_value("rebin") : "1";
      if (!ParseNumber(rebin, number) || number == 0 || number > histogram->Bins()) {
        return Reply(response, 400, ErrorJson("rebin needs a number from 1 to the bins"));
      }
      return Reply(response, 200, MapJson(*histogram, number));
    }
    if (!ParseNumber(what, number) || number >= histogram->Kind().channels) {
      return Reply(response, 404, ErrorJson("no such channel"));
    }
    Reply(response, 200, ChannelJson(*histogram, number));
  });
  server->Post("/api/reset", [this](const httplib::Request& request, httplib::Response& response) {
    if (request.get_header_value(kResetHeader) != "1") {
      return Reply(response, 403, ErrorJson(std::string("a reset needs the header ") + kResetHeader + ": 1"));
    }
    reset();
    Reply(response, 200, "{\"reset\":true}");
  });
}

std::string MonitorAddress(const std::string& address, int port)
{
  const bool ipv6 = address.find(':') != std::string::npos;
  return "http://" + (ipv6 ? "[" + address + "]" : address) + ":" + std::to_string(port) + "/";
}
