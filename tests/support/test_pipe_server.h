// An in-process stand-in for the bundling service's control pipe (Part 2.4),
// for tests that must see the exact bytes of the commands the library sends.
//
// Usage:
//   testsupport::TestPipeServer server;          // serves \\.\pipe\TessaryControl2
//   server.SetDefaultReply("OK!");               // the answer to every command...
//   server.QueueReply(TestPipeServer::Send("ERROR!"));  // ...except these, in order
//   ASSERT_EQ(ConnectToLocalService(), 1);
//   EXPECT_EQ(AddBundle(name), 1);
//   EXPECT_EQ(server.Commands(), (std::vector<std::string>{"ADD_BUNDLE 4,B1!"}));
//
// What the server does:
// - It listens on its own thread (with a few pipe instances waiting at once, so
//   that a client reconnecting at once finds one) and serves every client on a
//   thread of its own. The constructor returns once the pipe is listening; the
//   destructor stops every thread, closing every pipe instance (so a client
//   blocked in a read sees its read fail).
// - Every command is recorded as the bytes received up to and including its
//   "!", in the order the commands arrived (over all clients). BytesReceived()
//   counts every byte, so a test can show that nothing followed the "!".
// - Each command takes the next queued reply, or the default reply when the
//   queue is empty (the default default is "OK!"). A reply is a `Reply`:
//     Send("OK!")            write these bytes (anything: "ok!", "OKAY!", "!",
//                            "OK!junk" leaving bytes after the "!", 300 bytes
//                            without "!", ...);
//     Send("OK!", 800)       the same, written 800 ms after the command arrived;
//     NoReply()              write nothing and go on reading (the client blocks
//                            in its read until the server is destroyed: hold
//                            the server in a std::unique_ptr and reset it
//                            before joining the blocked thread);
//     Close(), Close(200)    close this client's pipe instead of answering (at
//                            once or after 200 ms): the client's read fails and
//                            its next write fails too.
//   The reply is chosen when the command has arrived completely.
// - Commands() and the counters can be read at any time; WaitForCommands(n)
//   waits until at least n commands arrived, WaitForOpenClients(n) until exactly
//   n clients are connected (both with a time-out, returning false if it ran
//   out). TotalClients() counts every client ever accepted (WaitForTotalClients
//   waits for it: the server counts a client shortly after its open returned).
//
// LinkHolder (below) keeps the library's link mutex busy from a second thread:
// it queues a reply delayed by holdMs, runs a command on its own thread and
// returns once the server has received that command, so that the command's
// thread sits inside its transaction for about holdMs. Create it while the reply
// queue is empty (its reply must be the next one taken).
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

class TestPipeServer {
 public:
  struct Reply {
    enum class Action { kSend, kNoReply, kClose };
    Action action = Action::kSend;
    std::string bytes;
    DWORD delayMs = 0;
  };
  static Reply Send(std::string bytes, DWORD delayMs = 0) {
    return Reply{Reply::Action::kSend, std::move(bytes), delayMs};
  }
  static Reply NoReply() { return Reply{Reply::Action::kNoReply, std::string(), 0}; }
  static Reply Close(DWORD delayMs = 0) { return Reply{Reply::Action::kClose, std::string(), delayMs}; }

  static constexpr const wchar_t* kDefaultPipePath = L"\\\\.\\pipe\\TessaryControl2";

  explicit TestPipeServer(std::wstring pipePath = kDefaultPipePath);
  ~TestPipeServer();
  TestPipeServer(const TestPipeServer&) = delete;
  TestPipeServer& operator=(const TestPipeServer&) = delete;

  // False if the pipe could not be created (another server holds the name).
  bool listening() const { return listening_; }

  void SetDefaultReply(std::string bytes) { SetDefaultReply(Send(std::move(bytes))); }
  void SetDefaultReply(Reply reply);
  void QueueReply(Reply reply);
  void QueueReply(std::string bytes) { QueueReply(Send(std::move(bytes))); }

  std::vector<std::string> Commands() const;
  // Every byte received from every client, commands or not: equal to the sum
  // of the commands' sizes exactly when nothing followed a "!" (no NUL, no
  // line end).
  size_t BytesReceived() const;
  size_t CommandCount() const;
  void ClearCommands();
  bool WaitForCommands(size_t n, DWORD timeoutMs = 5000) const;

  size_t OpenClients() const;
  size_t TotalClients() const;
  bool WaitForOpenClients(size_t n, DWORD timeoutMs = 5000) const;
  // Waits until at least n clients were ever accepted (a client's open returns
  // before the server thread has counted it).
  bool WaitForTotalClients(size_t n, DWORD timeoutMs = 5000) const;

 private:
  struct Session;
  static DWORD WINAPI ListenThread(void* self);
  static DWORD WINAPI SessionThread(void* session);
  void Listen();
  void Serve(HANDLE pipe);
  Reply TakeReply();
  void Record(std::string command);
  // Waits (up to timeoutMs) until done() holds; done runs under the lock.
  bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) const;

  std::wstring pipePath_;
  HANDLE stop_ = nullptr;   // manual-reset: set by the destructor
  HANDLE ready_ = nullptr;  // set once the first instances listen
  HANDLE listener_ = nullptr;
  bool listening_ = false;

  mutable CRITICAL_SECTION lock_;
  mutable CONDITION_VARIABLE changed_;
  std::vector<std::string> commands_;
  std::deque<Reply> queue_;
  Reply default_ = Send("OK!");
  size_t bytesReceived_ = 0;
  size_t openClients_ = 0;
  size_t totalClients_ = 0;
  std::vector<HANDLE> sessions_;  // session threads, joined by the destructor
};

// Runs fn on a thread of its own; Join waits for it and gives its result.
class BackgroundCall {
 public:
  explicit BackgroundCall(std::function<int()> fn);
  ~BackgroundCall();
  BackgroundCall(const BackgroundCall&) = delete;
  BackgroundCall& operator=(const BackgroundCall&) = delete;
  // The function's result; -1 if the thread did not end within timeoutMs.
  int Join(DWORD timeoutMs = 10000);

 private:
  static DWORD WINAPI Run(void* self);
  std::function<int()> fn_;
  int result_ = -1;
  HANDLE thread_ = nullptr;
};

// Holds the link mutex from a second thread for about holdMs (see the top).
class LinkHolder {
 public:
  LinkHolder(TestPipeServer& server, std::function<int()> command, DWORD holdMs);
  // True once the server has the holder's command (the link is then held).
  bool holding() const { return holding_; }
  int Join(DWORD timeoutMs = 10000) { return call_.Join(timeoutMs); }

 private:
  static std::function<int()> QueueFirst(TestPipeServer& server, DWORD holdMs, size_t* base,
                                         std::function<int()> command);
  size_t base_ = 0;
  BackgroundCall call_;
  bool holding_ = false;
};

// Milliseconds taken by fn (a monotonic clock).
double MeasureMs(const std::function<void()>& fn);

}  // namespace testsupport
