#pragma once

#include <string>

// Who may look: the token every request carries when the monitor listens beyond loopback, and
// the Host header a request without one must name (a page of another site that a browser was
// tricked into sending here names its own host, not ours).
class MonitorAccess {
 public:
  enum Verdict { kAllowed, kNoToken, kForeignHost };

  // An empty token: none required, and the Host is checked instead.
  explicit MonitorAccess(std::string token) : token(std::move(token)) {}

  bool NeedsToken() const { return !token.empty(); }
  const std::string& Token() const { return token; }

  // `authorization` is the Authorization header, `queryToken` the token= parameter, `host` the
  // Host header; each empty when absent.
  Verdict Check(const std::string& authorization, const std::string& queryToken, const std::string& host) const;

  // The host part of a Host header, without its port: "127.0.0.1", "[::1]", "localhost".
  static std::string HostPart(const std::string& host);
  static bool IsLoopbackHost(const std::string& host);

 private:
  bool Carries(const std::string& offered) const;

  const std::string token;
};

// A fresh token from the system's random source: 32 hexadecimal digits.
std::string NewToken();
// The token in `path`: its first line, without surrounding blanks; empty when the file cannot be
// read or holds none.
std::string ReadTokenFile(const std::string& path);
