// The other process of the Windows platform tests. What it saw goes into a file named on its
// command line (under Wine, output into a pipe of the test would outlive the program).
//
//   client PIPE MESSAGE DELAY_MS OUT   connects, sends MESSAGE ("-" for none), waits DELAY_MS,
//                                      reads one reply; OUT gets "reply:" and the reply, or
//                                      "no pipe" or "read:" and the read result
//   server PIPE READY                  listens (READY gets "listening" or "refused: " and the
//                                      reason), answers one message with "got " and the message
//   gate FILE CODE                     waits until FILE exists, then ends with CODE
//   commandline OUT [ANY...]           OUT gets the command line as the program received it
//   windows GATE                       shows a hidden, a tool and a normal window "peer main",
//                                      until GATE exists
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/pipe_protocol.h"
#include "platform/message_pipe.h"
#include "platform/text_win32.h"

namespace rigwright {
namespace {

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(std::filesystem::path(Utf16FromUtf8(path)), std::ios::binary) << text;
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::path(Utf16FromUtf8(path)), ignored);
}

int Client(const std::vector<std::string>& args) {
  auto connection = ConnectToPipe(args[0]);
  if (!connection) {
    WriteText(args[3], "no pipe");
    return 0;
  }
  if (args[1] != "-" && !connection->Write(args[1])) {
    WriteText(args[3], "write failed");
    return 0;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(args[2])));
  std::string reply;
  const PipeReadResult result = connection->Read(kStlBufferSize, &reply);
  WriteText(args[3], result == PipeReadResult::kMessage
                         ? "reply:" + reply
                         : "read:" + std::to_string(static_cast<int>(result)));
  return 0;
}

int Server(const std::vector<std::string>& args) {
  std::string error;
  auto server = ListenOnPipe(args[0], &error);
  WriteText(args[1], server ? "listening" : "refused: " + error);
  if (!server) return 0;
  auto connection = server->Accept();
  std::string message;
  if (!connection || connection->Read(kMaxMessageBytes, &message) != PipeReadResult::kMessage) {
    return 1;
  }
  return connection->Write("got " + message) ? 0 : 1;
}

int Gate(const std::vector<std::string>& args) {
  while (!Exists(args[0])) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return std::stoi(args[1]);
}

HWND MakeWindow(const wchar_t* title, DWORD extendedStyle, bool shown) {
  HWND window = ::CreateWindowExW(extendedStyle, L"STATIC", title, WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                  100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (window && shown) ::ShowWindow(window, SW_SHOWNORMAL);
  return window;
}

int Windows(const std::vector<std::string>& args) {
  // Made in this order so that the helpers lie above the main window.
  if (!MakeWindow(L"peer main", 0, true) || !MakeWindow(L"peer tool", WS_EX_TOOLWINDOW, true) ||
      !MakeWindow(L"peer hidden", 0, false)) {
    return 1;
  }
  while (!Exists(args[0])) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  const std::string mode = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (mode == "client" && rest.size() == 4) return Client(rest);
  if (mode == "server" && rest.size() == 2) return Server(rest);
  if (mode == "gate" && rest.size() == 2) return Gate(rest);
  if (mode == "commandline" && !rest.empty()) {
    WriteText(rest[0], Utf8FromUtf16(::GetCommandLineW()));
    return 0;
  }
  if (mode == "windows" && rest.size() == 1) return Windows(rest);
  return 2;
}

// The arguments from the mode on: the program's own path may hold spaces without quotes, which
// splits it into several arguments.
std::vector<std::string> Arguments() {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(Utf8FromUtf16(wide[i]));
  if (wide) ::LocalFree(wide);
  const auto mode = std::find_if(args.begin(), args.end(), [](const std::string& arg) {
    return arg == "client" || arg == "server" || arg == "gate" || arg == "commandline" ||
           arg == "windows";
  });
  return std::vector<std::string>(mode, args.end());
}

}  // namespace
}  // namespace rigwright

int main() {
  // A test that failed half-way leaves nobody to finish the exchange; the peer must not outlive
  // it, since under Wine it would keep the test runner's output open.
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::seconds(30));
    ::ExitProcess(124);
  }).detach();
  return rigwright::Run(rigwright::Arguments());
}
