// Host addressing: dotted-text validation and the conversions between text, numbers and
// system addresses, with names and services taken from /etc/hosts and /etc/services.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <string>

#include "clnx_test.h"

namespace {

sockaddr_in Loopback(uint16_t port = 0) {
  sockaddr_in sys{};
  sys.sin_family = AF_INET;
  sys.sin_port = htons(port);
  sys.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return sys;
}

TEST(HostAddr, IsValidIpAcceptsOnlyFourGroupsUpTo255) {
  for (const char* good : {"10.0.0.1", "255.255.255.255", "0.0.0.0", "001.2.3.4"}) {
    EXPECT_EQ(IsValidIp(good), 1) << good;
  }
  for (const char* bad : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1234.1.1.1", "1.2.3.4x", "",
                          "1..2.3", ".1.2.3", "1.2.3.", " 1.2.3.4", "a.b.c.d", "0001.2.3.4"}) {
    EXPECT_EQ(IsValidIp(bad), 0) << bad;
  }
  EXPECT_EQ(IsValidIp(nullptr), 0);
}

TEST(HostAddr, DottedTextToSystemAddress) {
  sockaddr_in sys{};
  ASSERT_EQ(MapHostIPToAddr("0.0.0.0", &sys), 1);
  EXPECT_EQ(sys.sin_addr.s_addr, htonl(0xFFFFFFFFu));
  ASSERT_EQ(MapHostIPToAddr("10.1.2.3", &sys), 1);
  EXPECT_EQ(ntohl(sys.sin_addr.s_addr), 0x0A010203u);
  // The broadcast address itself is an address, not a failure.
  ASSERT_EQ(MapHostIPToAddr("255.255.255.255", &sys), 1);
  EXPECT_EQ(sys.sin_addr.s_addr, htonl(0xFFFFFFFFu));
  // Leading zeros are decimal, as IsValidIp reads them; short forms still convert.
  ASSERT_EQ(MapHostIPToAddr("010.001.008.09", &sys), 1);
  EXPECT_EQ(ntohl(sys.sin_addr.s_addr), 0x0A010809u);
  ASSERT_EQ(MapHostIPToAddr("127.1", &sys), 1);
  EXPECT_EQ(ntohl(sys.sin_addr.s_addr), 0x7F000001u);
  EXPECT_EQ(MapHostIPToAddr("localhost", &sys), 0);
  EXPECT_EQ(MapHostIPToAddr("1.2.3.4x", &sys), 0);

  uint32_t number = 0;
  EXPECT_EQ(MapStrIpToAddr("192.168.1.2", &number), 1);
  EXPECT_EQ(number, 0xC0A80102u);
  EXPECT_EQ(MapStrIpToAddr("no address", &number), 1);
  EXPECT_EQ(number, 0xFFFFFFFFu);
}

TEST(HostAddr, SystemAddressToTextNameAndService) {
  const sockaddr_in sys = Loopback(22);
  char ip[VRQ_IP_TEXT_SIZE];
  EXPECT_EQ(MapHostAddrToIP(ip, &sys), 1);
  EXPECT_STREQ(ip, "127.0.0.1");
  EXPECT_EQ(MapHostAddrToIP(ip, nullptr), 0);
  EXPECT_STREQ(ip, "unknown ip");

  char name[VRQ_HOST_NAME_SIZE];
  EXPECT_EQ(MapHostAddrToName(name, &sys), 1);
  EXPECT_STREQ(name, "localhost");

  char service[VRQ_SERVICE_NAME_SIZE];
  EXPECT_EQ(MapServPortToName(service, &sys, "tcp"), 1);
  EXPECT_STREQ(service, "ssh");
  const sockaddr_in unused = Loopback(64999);
  EXPECT_EQ(MapServPortToName(service, &unused, "udp"), 0);
  EXPECT_STREQ(service, "unknown service");
}

TEST(HostAddr, ResolveHostNameFromHostsFile) {
  char out[VRQ_IP_TEXT_SIZE] = "untouched";
  EXPECT_EQ(ResolveHostName("localhost", out), 1);
  EXPECT_STREQ(out, "127.0.0.1");
  std::strcpy(out, "untouched");
  // A label longer than 63 characters is refused before any name server is asked.
  const std::string bad = std::string(70, 'x') + ".invalid";
  EXPECT_EQ(ResolveHostName(bad.c_str(), out), 0);
  EXPECT_STREQ(out, "untouched");
}

}  // namespace
