#include <gtest/gtest.h>

#include <string>

#include "support/HTTPAddress.h"

namespace rowsmith {
namespace {

struct SplitCase {
  std::string url;
  bool secure;
  std::string host;
  int port;
  std::string path;
  bool valid;
};

TEST(HTTPAddressTest, TheHostEndsAtTheFirstSlash) {
  const std::string request = "/versions.txt?application=Rowsmith&ver=2.2";
  const SplitCase cases[] = {
      {"http://www.example.com" + request, false, "www.example.com", 80, request, true},
      {"www.example.com" + request, false, "www.example.com", 80, request, true},
      {"HTTP://WWW.Example.COM" + request, false, "WWW.Example.COM", 80, request, true},
      {"https://www.example.com/", true, "www.example.com", 443, "/", true},
      {"HTTPS://www.example.com:8443/x", true, "www.example.com", 8443, "/x", true},
      {"www.example.com:8080/x", false, "www.example.com", 8080, "/x", true},
      {"http://[::1]:8080/x", false, "[::1]", 8080, "/x", true},
      {"http://[::1]/x", false, "[::1]", 80, "/x", true},
      // A scheme counts only at the start.
      {"www.example.com/go?to=http://other.example/", false, "www.example.com", 80,
       "/go?to=http://other.example/", true},
      {"http://www.example.com", false, "", 80, "www.example.com", false},
      {"http:///x", false, "", 80, "/x", false},
      {"http://www.example.com:http/x", false, "www.example.com", 0, "/x", false},
      {"http://www.example.com:70000/x", false, "www.example.com", 0, "/x", false},
      {"http://user@www.example.com/x", false, "user@www.example.com", 80, "/x", false},
      {"ftp://www.example.com/x", false, "ftp", 0, "//www.example.com/x", false},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.url);
    const HTTPAddress address = HTTPAddress::split(c.url);
    EXPECT_EQ(address.secure(), c.secure);
    EXPECT_EQ(address.host(), c.host);
    EXPECT_EQ(address.port(), c.port);
    EXPECT_EQ(address.path(), c.path);
    EXPECT_EQ(address.valid(), c.valid);
  }
}

TEST(HTTPAddressTest, ThePathIsSentWithUnsafeBytesEncoded) {
  EXPECT_EQ(HTTPAddress::split("https://h.example/a b/\xC3\xBC?q=1\r\n").transferURL(),
            "https://h.example:443/a%20b/%C3%BC?q=1%0D%0A");
  EXPECT_EQ(HTTPAddress::split("h.example:81/versions.txt?a=%2F&b=c+d").transferURL(),
            "http://h.example:81/versions.txt?a=%2F&b=c+d");
}

}  // namespace
}  // namespace rowsmith
