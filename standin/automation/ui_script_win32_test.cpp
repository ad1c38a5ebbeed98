// The scripted user on Windows answers the add-in's STL picker, which belongs to the add-in's own
// copy of the toolkit while the script plays in this program's: the program loads the add-in as
// the host does, asks for solids over the pipe as the wrapper does, and the script checks a
// level, runs into the tolerance message, picks in the host, names the pick and presses OK.
#include <windows.h>
// After windows.h.
#include <gtest/gtest.h>
#include <wx/image.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include "addin/testing/host_part_builder.h"
#include "addin/testing/test_install.h"
#include "common/pipe_protocol.h"
#include "platform/message_pipe.h"
#include "platform/shared_library.h"
#include "standin/automation/ui_script.h"

namespace rigwright {
namespace {

using namespace std::chrono_literals;
using EntryPoint = std::int32_t (*)();

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The picture is the picker's window, all of it, with more than a blank area in it.
void ExpectPictureOfTheWholePicker(const std::filesystem::path& picture) {
  wxImage image;
  ASSERT_TRUE(std::filesystem::is_regular_file(picture)) << picture;
  ASSERT_TRUE(image.LoadFile(picture.wstring(), wxBITMAP_TYPE_PNG)) << picture;
  const HWND picker = ::FindWindowW(nullptr, L"STL picker");
  RECT area{};
  ASSERT_TRUE(picker && ::GetWindowRect(picker, &area));
  EXPECT_EQ(image.GetWidth(), area.right - area.left);
  EXPECT_EQ(image.GetHeight(), area.bottom - area.top);
  std::set<std::uint32_t> colors;
  const unsigned char* rgb = image.GetData();
  for (int i = 0; i < image.GetWidth() * image.GetHeight(); ++i, rgb += 3) {
    colors.insert(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
  }
  EXPECT_GT(colors.size(), 3u) << "the picture shows hardly anything";
}

// Runs the thread's message loop for a while, as a host does between its own work: it delivers
// the messages of the add-in's windows and timers and of this program's alike.
void PumpMessages(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// Sends one message as the wrapper does, one connection per message; the link serves one
// connection at a time, so a busy pipe is tried again.
std::unique_ptr<PipeConnection> SendToAddin(const std::string& pipeName, std::string_view message) {
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < end) {
    if (auto connection = ConnectToPipe(pipeName)) {
      if (connection->Write(message)) return connection;
    }
    std::this_thread::sleep_for(20ms);
  }
  return nullptr;
}

// The wrapper's side: its working folder, then one request for solids; the add-in's reply.
std::string RequestSolids(const std::string& pipeName, const std::string& folder) {
  if (!SendToAddin(pipeName, folder)) return "(the folder was not sent)";
  const auto connection = SendToAddin(pipeName, kStlRequest);
  std::string reply;
  if (!connection ||
      connection->ReadWithin(kStlBufferSize, 60s, &reply) != PipeReadResult::kMessage) {
    return "(no reply)";
  }
  return reply;
}

TEST(UiScriptWin32Test, AnswersTheAddinsPickerAndItsMessageBox) {
  testing::TestInstall install;
  standin::PartData part;
  part.levels = {{10, "Base", true}, {20, "Fixtures", true}};
  part.entities = {testing::Box(101, 10, 2), testing::Cylinder(102, 20, 4)};
  standin::InstallPart(part);
  standin::SetInteractiveSelector(
      [](std::string_view, long) { return std::vector<std::int32_t>{102}; });

  const std::filesystem::path out = install.root.path() / "run";
  const std::filesystem::path working = out / "working";
  std::filesystem::create_directories(working);
  const std::filesystem::path messages = out / "messages.txt";
  const std::filesystem::path picture = out / "shots" / "picker.png";
  // The name field takes text only after the pick, the tolerance field only after the check,
  // and a disabled field refuses the script: each step shows that the one before it arrived.
  // clang-format off
  const std::string script =
      "messages \"" + messages.string() + "\"\n"
      "window \"STL picker\" check 1001 \"Base\"\n"
      "window \"STL picker\" text 1008 \"0\"\n"
      "window \"STL picker\" click 1\n"
      "window \"STL picker\" text 1008 \"0.5\"\n"
      "window \"STL picker\" click 1006\n"
      "window \"STL picker\" text 1010 \"Spindle\"\n"
      "window \"STL picker\" screenshot \"" + picture.string() + "\"\n"
      "window \"STL picker\" click 1\n";
  // clang-format on
  std::ofstream(out / "script.txt") << script;
  install.SetEnvironment("RIGWRIGHT_UI_SCRIPT", (out / "script.txt").string());

  std::string error;
  auto addin = LoadSharedLibrary(RIGWRIGHT_ADDIN_LIBRARY, Unloading::kOnClose, &error);
  ASSERT_TRUE(addin) << error;
  ASSERT_EQ(reinterpret_cast<EntryPoint>(addin->Symbol("m_main"))(), 0);
  const auto starts = install.Starts(1);
  ASSERT_EQ(starts.size(), 1u);
  const std::string pipeName = testing::PipeNameOf(starts[0]);
  automation::StartUiScriptFromEnvironment();

  const std::string folder = working.string() + "\\";
  auto reply = std::async(std::launch::async, [&] { return RequestSolids(pipeName, folder); });
  const auto end = std::chrono::steady_clock::now() + 60s;
  while (reply.wait_for(0s) != std::future_status::ready &&
         std::chrono::steady_clock::now() < end) {
    PumpMessages(50ms);
  }
  ASSERT_EQ(reply.wait_for(0s), std::future_status::ready) << "the picker was not answered";

  const std::string text = reply.get();
  // The pick's file first, then the levels'.
  EXPECT_EQ(text.find(folder + "Spindle.stl@0x"), 0u) << text;
  EXPECT_NE(text.find(";" + folder + "Base.stl@0x"), std::string::npos) << text;
  EXPECT_EQ(testing::TriangleCount(working / "Base.stl"), 12);
  EXPECT_GT(testing::TriangleCount(working / "Spindle.stl"), 12);
  EXPECT_EQ(ReadText(messages), "Please enter a positive triangulation tolerance.\n");
  ExpectPictureOfTheWholePicker(picture);
  addin.reset();
  standin::SetInteractiveSelector({});
  standin::ClosePart();
}

}  // namespace
}  // namespace rigwright
