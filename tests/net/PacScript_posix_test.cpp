#include "net/PacScript.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/TestSupport.h"

namespace orvane {
namespace {

// Friday 2024-03-15 14:30:45 UTC.
constexpr std::int64_t kFriday = 1710513045000;

TPacEnvironment FakeEnvironment() {
  TPacEnvironment env;
  env.ResolveIPv4 = [](const std::string& host) -> std::optional<std::string> {
    static const std::map<std::string, std::string> names = {{"intranet.corp", "10.1.2.3"},
                                                             {"localhost", "127.0.0.1"}};
    const auto it = names.find(host);
    if (it == names.end()) return std::nullopt;
    return it->second;
  };
  env.MyIpAddress = [] { return std::string("192.168.7.9"); };
  env.NowMs = [] { return kFriday; };
  return env;
}

TPacOutcome Evaluate(const std::string& script, const TPacLimits& limits = {}) {
  return EvaluatePacScript(script, "http://downloads.example.com/tool.exe", "downloads.example.com",
                           FakeEnvironment(), limits);
}

std::string ValueOf(const std::string& expression) {
  const TPacOutcome outcome =
      Evaluate("function FindProxyForURL(url, host) { return String(" + expression + "); }");
  return outcome.Result.value_or("<" + outcome.Error + ">");
}

TEST(PacScript, ReturnsWhatFindProxyForURLReturnsForTheUrlAndHost) {
  EXPECT_EQ(
      Evaluate("function FindProxyForURL(u, h) { return 'PROXY proxy1:8080; PROXY proxy2:8080'; }").Result,
      "PROXY proxy1:8080; PROXY proxy2:8080");
  EXPECT_EQ(Evaluate("function FindProxyForURL(u, h) { return u + ' ' + h; }").Result,
            "http://downloads.example.com/tool.exe downloads.example.com");
}

TEST(PacScript, BrokenScriptsGiveNoResult) {
  struct TCase {
    const char* name;
    std::string script;
  };
  const TCase cases[] = {
      {"syntax error", "function FindProxyForURL(u, h) { return 'DIRECT' "},
      {"no such function", "function findProxy(u, h) { return 'DIRECT'; }"},
      {"throws", "function FindProxyForURL(u, h) { throw new Error('nope'); }"},
      {"top level throws", "throw 1; function FindProxyForURL(u, h) { return 'DIRECT'; }"},
      {"not a string", "function FindProxyForURL(u, h) { return 42; }"},
      {"unknown helper", "function FindProxyForURL(u, h) { return isInNetEx(h, '10.0.0.0/8'); }"},
  };
  for (const TCase& c : cases) {
    const TPacOutcome outcome = Evaluate(c.script);
    EXPECT_FALSE(outcome.Result) << c.name << ": " << *outcome.Result;
    EXPECT_FALSE(outcome.Error.empty()) << c.name;
  }
}

TEST(PacScript, EndlessScriptIsStoppedByTheTimeLimit) {
  TPacLimits limits;
  limits.TimeLimit = std::chrono::milliseconds(300);
  for (const std::string script : {"while (true) {}", "function FindProxyForURL(u, h) { for (;;) {} }"}) {
    const TPacOutcome outcome = Evaluate(script, limits);
    EXPECT_FALSE(outcome.Result) << script;
    EXPECT_NE(outcome.Error.find("longer than 300 ms"), std::string::npos) << outcome.Error;
  }
}

TEST(PacScript, MemoryHungryScriptFailsAtTheCap) {
  TPacLimits limits;
  limits.MemoryLimit = std::size_t{8} << 20;
  limits.TimeLimit = std::chrono::minutes(2);
  const TPacOutcome outcome = Evaluate(
      "function FindProxyForURL(u, h) {"
      "  var keep = [], s = 'x';"
      "  for (;;) { keep.push(s); s = s + s; }"
      "}",
      limits);
  EXPECT_FALSE(outcome.Result);
  EXPECT_NE(outcome.Error.find("alloc failed"), std::string::npos) << outcome.Error;
}

TEST(PacScript, HelperFunctions) {
  const std::pair<const char*, const char*> cases[] = {
      {"isPlainHostName('www')", "true"},
      {"isPlainHostName('www.example.com')", "false"},
      {"dnsDomainIs('www.example.com', '.example.com')", "true"},
      {"dnsDomainIs('WWW.Example.COM', '.example.com')", "true"},
      {"dnsDomainIs('www', '.example.com')", "false"},
      {"dnsDomainIs('www.badexample.com', '.example.com')", "false"},
      {"localHostOrDomainIs('www.example.com', 'www.example.com')", "true"},
      {"localHostOrDomainIs('www', 'www.example.com')", "true"},
      {"localHostOrDomainIs('www.other.com', 'www.example.com')", "false"},
      {"localHostOrDomainIs('home.example.com', 'www.example.com')", "false"},
      {"dnsDomainLevels('www')", "0"},
      {"dnsDomainLevels('www.example.com')", "2"},
      {"shExpMatch('http://home.example.com/people/index.html', '*/people/*')", "true"},
      {"shExpMatch('http://home.example.com/other/index.html', '*/people/*')", "false"},
      {"shExpMatch('a.b', 'a?b')", "true"},
      {"shExpMatch('ab', 'a?b')", "false"},
      {"shExpMatch('axb', 'a.b')", "false"},
      {"shExpMatch('(x)+[y]', '(x)+[y]')", "true"},
      {"dnsResolve('intranet.corp')", "10.1.2.3"},
      {"dnsResolve('localhost')", "127.0.0.1"},
      {"dnsResolve('192.0.2.1')", "192.0.2.1"},
      {"dnsResolve('unknown.corp')", "null"},
      {"isResolvable('intranet.corp')", "true"},
      {"isResolvable('unknown.corp')", "false"},
      {"isInNet('intranet.corp', '10.0.0.0', '255.0.0.0')", "true"},
      {"isInNet('intranet.corp', '10.2.0.0', '255.255.0.0')", "false"},
      {"isInNet('192.168.1.5', '192.168.0.0', '255.255.0.0')", "true"},
      {"isInNet('200.1.1.1', '200.0.0.0', '255.0.0.0')", "true"},
      {"isInNet('200.1.1.1', '100.0.0.0', '255.0.0.0')", "false"},
      {"isInNet('unknown.corp', '0.0.0.0', '0.0.0.0')", "false"},
      {"isInNet('10.1.2.3', '10.0.0.0', '255.0.0')", "false"},
      {"isInNet('10.1.2.300', '10.0.0.0', '255.0.0.0')", "false"},
      {"myIpAddress()", "192.168.7.9"},
      {"weekdayRange('MON', 'FRI', 'GMT')", "true"},
      {"weekdayRange('FRI', 'GMT')", "true"},
      {"weekdayRange('SAT', 'GMT')", "false"},
      {"weekdayRange('FRI', 'MON', 'GMT')", "true"},
      {"weekdayRange('SAT', 'THU', 'GMT')", "false"},
      {"weekdayRange('XYZ', 'GMT')", "false"},
      {"timeRange(14, 'GMT')", "true"},
      {"timeRange(9, 17, 'GMT')", "true"},
      {"timeRange(15, 17, 'GMT')", "false"},
      {"timeRange(22, 14, 'GMT')", "true"},
      {"timeRange(14, 30, 14, 30, 'GMT')", "true"},
      {"timeRange(14, 31, 15, 0, 'GMT')", "false"},
      {"timeRange(14, 30, 45, 14, 30, 45, 'GMT')", "true"},
      {"timeRange(14, 30, 46, 23, 0, 0, 'GMT')", "false"},
      {"timeRange(1, 2, 3, 'GMT')", "false"},
      {"dateRange(15, 'GMT')", "true"},
      {"dateRange('MAR', 'GMT')", "true"},
      {"dateRange(2024, 'GMT')", "true"},
      {"dateRange(1, 14, 'GMT')", "false"},
      {"dateRange('FEB', 'APR', 'GMT')", "true"},
      {"dateRange('NOV', 'FEB', 'GMT')", "false"},
      {"dateRange('DEC', 'MAR', 'GMT')", "true"},
      {"dateRange(1, 'MAR', 15, 'MAR', 'GMT')", "true"},
      {"dateRange('JAN', 2024, 'FEB', 2024, 'GMT')", "false"},
      {"dateRange(14, 'MAR', 2024, 16, 'MAR', 2024, 'GMT')", "true"},
      {"dateRange(2023, 2025, 'GMT')", "true"},
      {"dateRange(2025, 2023, 'GMT')", "false"},
      {"dateRange(15, 'MAR', 'GMT')", "false"},
  };
  for (const auto& [expression, expected] : cases) EXPECT_EQ(ValueOf(expression), expected) << expression;
}

TEST(PacScript, RangesWithoutGmtUseLocalTime) {
  const test::ScopedEnv tz("TZ", "XYZ-3");  // three hours east of UTC: 17:30 local
  EXPECT_EQ(ValueOf("timeRange(17)"), "true");
  EXPECT_EQ(ValueOf("timeRange(14)"), "false");
  EXPECT_EQ(ValueOf("timeRange(14, 'GMT')"), "true");
}

// The evaluator this process started (the one running a script right now).
pid_t RunningEvaluator() {
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const std::size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 1));
    std::string state;
    pid_t parent = 0;
    rest >> state >> parent;
    if (line.substr(open + 1, close - open - 1) == kPacEvaluatorName && parent == getpid()) {
      return static_cast<pid_t>(std::stol(line.substr(0, open)));
    }
  }
  return 0;
}

std::string ReadProcFile(pid_t pid, const char* name) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(PacScript, EvaluatorRunsTheScriptConfinedWithAnEmptyEnvironment) {
  // Looked at while the evaluator waits for a name lookup, in the middle of
  // the script.
  pid_t evaluator = 0;
  std::string environment = "<not read>";
  std::string status;
  std::string limits;
  TPacEnvironment env = FakeEnvironment();
  const auto resolve = env.ResolveIPv4;
  env.ResolveIPv4 = [&](const std::string& host) {
    evaluator = RunningEvaluator();
    environment = ReadProcFile(evaluator, "environ");
    status = ReadProcFile(evaluator, "status");
    limits = ReadProcFile(evaluator, "limits");
    return resolve(host);
  };
  const TPacOutcome outcome = EvaluatePacScript(
      "function FindProxyForURL(u, h) { return 'PROXY ' + dnsResolve('intranet.corp') + ':3128'; }",
      "http://a/", "a", env);
  EXPECT_EQ(outcome.Result, "PROXY 10.1.2.3:3128") << outcome.Error;
  ASSERT_NE(evaluator, 0);
  EXPECT_EQ(environment, "");
  EXPECT_NE(status.find("NoNewPrivs:\t1\n"), std::string::npos) << status;
  EXPECT_NE(status.find("Seccomp:\t2\n"), std::string::npos) << status;  // a filter
  const auto limit = [&limits](const std::string& name) {
    const std::size_t at = limits.find(name);
    if (at == std::string::npos) return std::string("<missing>");
    std::istringstream values(limits.substr(at + name.size()));
    std::string soft;
    std::string hard;
    values >> soft >> hard;
    return soft + " " + hard;
  };
  EXPECT_EQ(limit("Max file size"), "0 0");
  EXPECT_EQ(limit("Max open files"), "0 0");
  EXPECT_EQ(limit("Max core file size"), "0 0");
  EXPECT_EQ(limit("Max address space").find("unlimited"), std::string::npos) << limits;
}

TEST(PacScript, TheMachinesOwnEnvironmentWorksInsideTheSandbox) {
  // No environment calls supplied: name lookups and the own address come
  // from the evaluator's resolver process, the clock from inside the
  // sandbox. "localhost" is answered by the hosts file: nothing leaves the
  // machine.
  const TPacEnvironment system = SystemPacEnvironment();
  const std::string localhost = system.ResolveIPv4("localhost").value_or("null");
  const TPacOutcome outcome = EvaluatePacScript(
      "function FindProxyForURL(u, h) {"
      "  return [dnsResolve('localhost'), isInNet('localhost', '127.0.0.0', '255.0.0.0'), myIpAddress(),"
      "          dnsResolve('192.0.2.1'), timeRange(0, 23), weekdayRange('SUN', 'SAT'),"
      "          new Date().getFullYear() > 2000].join(' ');"
      "}",
      "http://a/", "a", TPacEnvironment{});
  EXPECT_EQ(outcome.Result, localhost + " " + (localhost.rfind("127.", 0) == 0 ? "true" : "false") + " " +
                                system.MyIpAddress() + " 192.0.2.1 true true true")
      << outcome.Error;
}

TEST(PacScript, EvaluatorThatDiesIsAFailureThatSaysWhy) {
  // The kernel ends a sandboxed evaluator that makes a forbidden call with
  // SIGSYS; here the signals are sent while it waits for an answer.
  const std::pair<int, const char*> cases[] = {
      {SIGSYS, "tried something a proxy script is not allowed to do"},
      {SIGABRT, "the script evaluator crashed (Aborted)"},
  };
  for (const auto& [signal, expected] : cases) {
    TPacEnvironment env = FakeEnvironment();
    env.ResolveIPv4 = [signal = signal](const std::string&) -> std::optional<std::string> {
      const pid_t evaluator = RunningEvaluator();
      kill(evaluator, signal);
      siginfo_t ended{};
      waitid(P_PID, static_cast<id_t>(evaluator), &ended, WEXITED | WNOWAIT);  // dead, not reaped
      return "10.1.2.3";
    };
    const TPacOutcome outcome = EvaluatePacScript(
        "function FindProxyForURL(u, h) { return 'PROXY ' + dnsResolve('intranet.corp') + ':3128'; }",
        "http://a/", "a", env);
    EXPECT_FALSE(outcome.Result) << signal;
    EXPECT_NE(outcome.Error.find(expected), std::string::npos) << outcome.Error;
  }
}

TEST(PacScript, ResultMapping) {
  const std::string megabyteHost = "PROXY " + std::string(std::size_t{1} << 20, 'a') + ":80";
  struct TCase {
    const char* answer;
    std::optional<int> access;
    const char* proxy;
  };
  const TCase cases[] = {
      {"PROXY proxy1:8080; PROXY proxy2:8080", kProxyAccessTypeNamedProxy, "proxy1:8080;proxy2:8080"},
      {"  proxy  a:1 ;; HTTP b:2;", kProxyAccessTypeNamedProxy, "a:1;b:2"},
      {"HTTPS secure:443; PROXY a:1", kProxyAccessTypeNamedProxy, "https://secure:443;http://a:1"},
      {"PROXY a:1; DIRECT; PROXY b:2", kProxyAccessTypeNamedProxy, "a:1"},
      {"SOCKS s:1080; PROXY a:1", kProxyAccessTypeNamedProxy, "a:1"},
      {"DIRECT", kProxyAccessTypeNoProxy, ""},
      {"direct; PROXY a:1", kProxyAccessTypeNoProxy, ""},
      {"SOCKS5 s:1080; DIRECT", kProxyAccessTypeNoProxy, ""},
      {"SOCKS5 s:1080", std::nullopt, ""},
      {"", std::nullopt, ""},
      {"nonsense", std::nullopt, ""},
      {"PROXY [::1]:3128; PROXY u:p@a; DIRECT", kProxyAccessTypeNamedProxy, "[::1]:3128;u:p@a"},
      // A malformed or implausible proxy fails the whole answer.
      {"PROXY", std::nullopt, ""},
      {"PROXY a:1 b:2", std::nullopt, ""},
      {"PROXY http://a:1/", std::nullopt, ""},
      {"PROXY a:1; PROXY b:70000", std::nullopt, ""},
      {"PROXY a:1; HTTPS b<c:443; DIRECT", std::nullopt, ""},
      {megabyteHost.c_str(), std::nullopt, ""},
  };
  for (const TCase& c : cases) {
    const std::optional<TAutoProxyResult> result = PacResultToAutoProxy(c.answer);
    ASSERT_EQ(result.has_value(), c.access.has_value()) << c.answer;
    if (!result) continue;
    EXPECT_EQ(result->AccessType, *c.access) << c.answer;
    EXPECT_EQ(result->Proxy, c.proxy) << c.answer;
    EXPECT_EQ(result->ProxyBypass, "") << c.answer;
  }
}

TEST(PacScript, HostOfUrl) {
  EXPECT_EQ(PacHostOfUrl("http://User:pw@WWW.Example.com:8080/x?y#z"), "www.example.com");
  EXPECT_EQ(PacHostOfUrl("https://[::1]:443/"), "::1");
  EXPECT_EQ(PacHostOfUrl("no url at all"), "");
}

}  // namespace
}  // namespace orvane
