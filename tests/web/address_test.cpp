#include "web/address.h"

#include <gtest/gtest.h>

namespace vorpane {
namespace {

struct AddressCase {
  const char* name;
  Text address;
  Text host;
  Text host_with_port;
  int32_t port;
  Text path;
};

class AddressPartsTest : public testing::TestWithParam<AddressCase> {};

TEST_P(AddressPartsTest, SplitsAddress) {
  const AddressCase& c = GetParam();
  EXPECT_EQ(host_of(c.address), c.host);
  EXPECT_EQ(host_of(c.address, false, true), c.host_with_port);
  EXPECT_EQ(port_of(c.address), c.port);
  EXPECT_EQ(path_of(c.address), c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddressPartsTest,
    testing::Values(
        AddressCase{"MixedCaseHostPortAndQuery", "http://Ex.AMPLE.com:81/A/b?x=1", "ex.ample.com",
                    "ex.ample.com:81", 81, "/A/b?x=1"},
        AddressCase{"HttpsInCapitalsHostOnly", "HTTPS://Host.Org", "host.org", "host.org", 443,
                    "/"},
        AddressCase{"NoScheme", "Host.Org/p", "host.org", "host.org", 80, "/p"},
        AddressCase{"PortNotANumber", "http://h.org:ab/x", "h.org", "h.org:ab", 0, "/x"},
        AddressCase{"HostFoundInsideScheme", "http://h/x", "h", "h", 80, "//h/x"},
        AddressCase{"GroupSite", "http://127.0.0.1:8610/group/10000000", "127.0.0.1",
                    "127.0.0.1:8610", 8610, "/group/10000000"},
        AddressCase{"HttpsWithPort", "https://h.org:8443/a", "h.org", "h.org:8443", 8443, "/a"},
        AddressCase{"SchemeNotAtFront", "xhttp://h.org/a", "h.org", "h.org", 80, "/a"},
        AddressCase{"Empty", "", "", "", 80, "/"}),
    [](const testing::TestParamInfo<AddressCase>& info) { return info.param.name; });

TEST(HostOf, MainDomainOnlyKeepsLastTwoLabels) {
  EXPECT_EQ(host_of("http://p.q.r.s/x", true), "r.s");
  EXPECT_EQ(host_of("http://localhost/x", true), "localhost");
  EXPECT_EQ(host_of("http://p.q.r:81/x", true, true), "q.r:81");
}

}  // namespace
}  // namespace vorpane
