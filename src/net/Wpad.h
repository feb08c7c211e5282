// Finding and fetching the proxy auto-configuration script, and working out
// the proxy for one URL from it: the POSIX stand-in for what WinHTTP does on
// Windows (automatic detection by DNS, or the configured script URL).
// POSIX only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/PacScript.h"
#include "net/ProxyDiscovery.h"

namespace orvane {

// The DNS domain of this host, "" when unknown: the part after the first
// label of the host's fully qualified name (the host name itself, or its
// canonical name from the resolver), else the "domain" (or first "search")
// entry of /etc/resolv.conf.
std::string HostDnsDomain();

// The domain named in resolv.conf text: the last "domain" line wins, else
// the first entry of the last "search" line; "" when neither is there.
std::string DomainFromResolvConf(const std::string& text);

// The script URLs automatic detection tries, in order: http://wpad.<d>/wpad.dat
// for d = domain and each parent of it that still has at least two labels and
// is not itself a public suffix (so never wpad.com, nor wpad.co.uk). For
// b.corp.example.com: wpad.b.corp.example.com, wpad.corp.example.com,
// wpad.example.com. The domain is taken case-insensitively; a trailing dot is
// ignored; a domain with an empty label gives nothing.
std::vector<std::string> WpadCandidateUrls(const std::string& domain);

// Where the fetch connects for host:port, as "address:port"; nullopt means the
// host is unreachable (no lookup is made). Tests map script hosts to loopback
// servers with it.
using TScriptHostMapper = std::function<std::optional<std::string>(const std::string& host, int port)>;

struct TScriptFetchOutcome {
  std::optional<std::string> Script;
  std::string Error;
};

// Fetches a proxy script, always directly (never through a proxy), with short
// time-outs and a size cap, sending the agent "Brenlow OvixGet/1.0".
// http and https only, unless allowFileAndRedirects: then file:// URLs and up
// to five redirects (to http or https) are accepted too, for a script URL the
// user configured. With a mapper, no name is looked up: every host goes
// where the mapper says. Only a 2xx answer with a non-empty body counts.
TScriptFetchOutcome FetchProxyScript(const std::string& url, bool allowFileAndRedirects,
                                     const TScriptHostMapper& mapper = {});

inline constexpr std::size_t kMaxProxyScriptSize = std::size_t{1} << 20;

// What discovery takes from the machine and its network; empty members mean
// the real thing.
struct TScriptDiscoverySeams {
  std::function<std::string()> HostDomain;  // default HostDnsDomain
  TScriptHostMapper ScriptHosts;            // default: ordinary name lookup
  TPacEnvironment Pac;                      // default SystemPacEnvironment
  TPacLimits Limits;
};

// The proxy for url according to config: automatic detection (the first
// WPAD candidate that yields a script decides), else, when detection is off
// or finds no script, the configured script URL, else nullopt. A script that
// cannot be fetched or evaluated gives nullopt too. Nothing is cached: each
// call looks afresh.
std::optional<TAutoProxyResult> DiscoverProxyForUrl(const std::string& url, const TIEProxyConfig& config,
                                                    const TScriptDiscoverySeams& seams);

// The seams GetProxyForUrl uses; tests replace them (and restore the
// defaults with a default-constructed value).
void SetScriptDiscoverySeams(TScriptDiscoverySeams seams);
const TScriptDiscoverySeams& ScriptDiscoverySeams();

}  // namespace orvane
