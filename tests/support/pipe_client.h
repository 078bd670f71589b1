// A raw client of the service's pipe (kLocalPipePath), opened as the library opens it
// (read/write, exclusive, byte read mode), for bytes the library never sends.
#pragma once
#include <string>

#include "support/service_process.h"

namespace testsupport {

class PipeClient {
 public:
  bool Connect(DWORD timeoutMs = 10000);  // waits while every instance is busy
  bool Send(const std::string& bytes);    // one write of exactly these bytes
  bool ReadReply(std::string& reply);     // byte by byte up to the "!"; false: GetLastError() says why
  std::string Transact(const std::string& command) {
    std::string reply;
    return Send(command) && ReadReply(reply) ? reply : "<no reply>";
  }

 private:
  lumbrex::UniqueHandle pipe_;
};

}  // namespace testsupport
