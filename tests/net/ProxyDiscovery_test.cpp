#include "net/ProxyDiscovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvane {
namespace {

TEST(ProxyDiscovery, PlausibleProxyAddressesAndLists) {
  const std::string longest(253, 'a');
  const std::string longestUser(256, 'u');
  for (const std::string& entry :
       std::vector<std::string>{"proxy1:8080", "a", "10.0.0.1:1", "Corp-Proxy_2.example:65535", "[::1]:3128",
                                "[fe80::1]", "u:p@proxy:1", longest + ":80", longestUser + "@proxy:1"}) {
    EXPECT_TRUE(IsPlausibleProxyAddress(entry)) << entry;
  }
  for (const std::string& entry : std::vector<std::string>{
           "", ":80", "proxy:", "proxy:0", "proxy:65536", "proxy:8o", "proxy:+80", "pro xy:80", "pro<xy:80",
           "pro%78y:80", "proxy:80/", "http://proxy:80", "[::1", "[]:80", "[::g]:80", "[::1]x", "u p@proxy:1",
           longest + "a:80", longestUser + "u@proxy:1", std::string(std::size_t{1} << 20, 'a') + ":80"}) {
    EXPECT_FALSE(IsPlausibleProxyAddress(entry)) << entry.substr(0, 40);
  }

  for (const char* list : {"a:1;b:2", "http://a:1; https://b:2", "HTTP://a:1", "a:1 b:2;"})
    EXPECT_TRUE(IsPlausibleProxyList(list)) << list;
  for (const char* list : {"", " ; ", "a:1;b:70000", "ftp://a:1", "a:1;http://"})
    EXPECT_FALSE(IsPlausibleProxyList(list)) << list;
}

}  // namespace
}  // namespace orvane
