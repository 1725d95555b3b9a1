// tests/update/loopback_server.py for the length of a test: a real HTTP(S) server on 127.0.0.1.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_environment.hpp"

class LoopbackServer {
 public:
  // `routes`: the script's JSON, "@DIR@/" standing for the server's folder. `tls`: HTTPS with a
  // fresh self-signed certificate.
  explicit LoopbackServer(std::string routes, bool tls = false) {
    for (std::size_t at; (at = routes.find("@DIR@/")) != std::string::npos;)
      routes.replace(at, 6, Native(""));
    testenv::WriteFile(dir_ / "routes.json", routes);
    std::string command = "python3 '" + std::string(VINTREL_SOURCE_DIR) +
                          "/tests/update/loopback_server.py' '" + Native("routes.json") + "' '" +
                          Native("port") + "' '" + Native("log") + "'";
    if (tls) {
      EXPECT_EQ(platform::RunProgramForOutput(
                    "openssl",
                    {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                     "-subj", "/CN=127.0.0.1", "-keyout", Native("key.pem"), "-out", Native("cert.pem")})
                    .exitCode,
                0);
      command += " '" + Native("cert.pem") + "' '" + Native("key.pem") + "'";
    }
    // The server ends when its standard input closes, also when this process dies.
    pipe_ = popen(command.c_str(), "w");
    for (int i = 0; i < 200 && !platform::ReadWholeFile(dir_ / "port", port_); ++i)
      platform::SleepMilliseconds(50);
    EXPECT_FALSE(port_.empty()) << "the loopback server did not start: " << command;
  }
  ~LoopbackServer() { pclose(pipe_); }

  std::string Url(const std::string& path, const char* scheme = "http") const {
    return std::string(scheme) + "://127.0.0.1:" + port_ + path;
  }
  // "GET /path agent=..." or "tls-refused ..." lines, once one holds `part` (the server may write
  // after the client has its answer); at most 10 s.
  std::string Log(const std::string& part = "") const {
    std::string log;
    platform::ReadWholeFile(dir_ / "log", log);
    for (int i = 0; i < 200 && log.find(part) == std::string::npos; ++i) {
      platform::SleepMilliseconds(50);
      platform::ReadWholeFile(dir_ / "log", log);
    }
    return log;
  }
  std::string File(const std::string& name) const { return dir_ / name; }
  std::string Native(const std::string& name) const {
    return platform::ToNativePath(dir_ / name).value_or(name);
  }

 private:
  testenv::ScopedTempDir dir_{"http"};
  std::FILE* pipe_ = nullptr;
  std::string port_;
};
