#include "tools/monitor/MonitorAccess.h"

#include <cctype>
#include <fstream>
#include <random>

namespace {

constexpr const char* kBearer = "Bearer ";
constexpr const char* kLoopbackHosts[] = {"127.0.0.1", "[::1]", "localhost"};
constexpr size_t kTokenDigits = 32;

std::string Trimmed(const std::string& text)
{
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

MonitorAccess::Verdict MonitorAccess::Check(const std::string& authorization, const std::string& queryToken,
                                            const std::string& host) const
{
  if (NeedsToken()) {
    const std::string bearer = authorization.rfind(kBearer, 0) == 0 ? authorization.substr(std::char_traits<char>::length(kBearer)) : "";
    return Carries(bearer) || Carries(queryToken) ? kAllowed : kNoToken;
  }
  return IsLoopbackHost(HostPart(host)) ? kAllowed : kForeignHost;
}

// Every character is compared, so that the time taken tells nothing of where a guess went wrong.
bool MonitorAccess::Carries(const std::string& offered) const
{
  if (offered.size() != token.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < token.size(); ++i) difference |= static_cast<unsigned char>(offered[i] ^ token[i]);
  return difference == 0;
}

std::string MonitorAccess::HostPart(const std::string& host)
{
  if (!host.empty() && host[0] == '[') {
    const size_t close = host.find(']');
    return close == std::string::npos ? host : host.substr(0, close + 1);
  }
  return host.substr(0, host.find(':'));
}

bool MonitorAccess::IsLoopbackHost(const std::string& host)
{
  std::string lower;
  for (char c : host) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* allowed : kLoopbackHosts) {
    if (lower == allowed) return true;
  }
  return false;
}

std::string NewToken()
{
  std::random_device source;
  constexpr const char* kDigits = "0123456789abcdef";
  std::string token;
  for (size_t i = 0; i < kTokenDigits; ++i) token += kDigits[source() % 16];
  return token;
}

std::string ReadTokenFile(const std::string& path)
{
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return Trimmed(line);
}
