#include "update/http_client.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#ifndef _WIN32
#include "update/loopback_server.hpp"
#endif

namespace {

TEST(HttpClient, IgnoresAUrlWithoutAHost) {
  for (const char* url : {"", "not a url", "http:///no-host", "ftp://127.0.0.1/x"}) {
    std::uint32_t status = 7;
    EXPECT_EQ(HttpClient::Get(url, status), "") << url;
    EXPECT_EQ(status, 0u) << url;
  }
}

#ifndef _WIN32
// A stalled server is given up after the receive timeout; a body cut short keeps its status.
TEST(HttpClient, ReturnsBodyAndStatusAsSentOrGivesUp) {
  const std::string big(300000, 'b');
  LoopbackServer server("{\"/big\": {\"body\": \"" + big +
                        "\"}, \"/silent\": {\"stall\": \"before-headers\"}, "
                        "\"/half\": {\"body\": \"0123456789\", \"stall\": \"mid-body\"}}");
  const auto get = [&server](const std::string& path) {
    std::uint32_t status = 0;
    const std::string body = HttpClient::Get(server.Url(path), status);
    return body + " " + std::to_string(status);
  };
  EXPECT_EQ(get("/big"), big + " 200");
  EXPECT_EQ(get("/gone"), "no such route 404");
  EXPECT_NE(server.Log().find("GET /gone agent=Vintrel/1.0"), std::string::npos) << server.Log();
  std::uint32_t silentStatus = 7;
  std::string silentBody = "x";
  const auto start = std::chrono::steady_clock::now();
  std::thread silent([&] { silentBody = HttpClient::Get(server.Url("/silent"), silentStatus); });
  EXPECT_EQ(get("/half"), "01234 200");
  silent.join();
  const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(silentBody + std::to_string(silentStatus), "0");
  EXPECT_GE(waited.count(), 9.0) << "gave up before the receive timeout";
  EXPECT_LT(waited.count(), 25.0) << "waited past the receive timeout";
}

TEST(HttpClient, RefusesAnUntrustedCertificate) {
  LoopbackServer server("{\"/update.json\": {\"body\": \"{}\"}}", true);
  std::uint32_t status = 7;
  EXPECT_EQ(HttpClient::Get(server.Url("/update.json", "https"), status), "");
  EXPECT_EQ(status, 0u);
  // The handshake reached the server and the client turned the certificate down.
  const std::string log = server.Log("tls-refused");
  EXPECT_NE(log.find("UNKNOWN_CA"), std::string::npos) << log;
  EXPECT_EQ(log.find("GET "), std::string::npos) << log;
}
#endif

}  // namespace
