#include "addin/testing/wx_event_testing.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include <wx/app.h>
#include <wx/debug.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/window.h>

#include "platform/screen_capture.h"

namespace rigwright::testing {
namespace {

// Gives the tests an event loop to run by hand (the shared test main starts the toolkit but runs
// no loop), and turns failed toolkit assertions into test failures instead of message boxes that
// nobody answers.
class EventLoopEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    wxSetAssertHandler([](const wxString& file, int line, const wxString& func,
                          const wxString& cond, const wxString& msg) {
      ADD_FAILURE_AT(file.utf8_str(), line)
          << "wx assertion in " << func << ": " << cond << " " << msg;
    });
    if (!wxEventLoopBase::GetActive()) {
      loop_ = std::make_unique<wxGUIEventLoop>();
      wxEventLoopBase::SetActive(loop_.get());
    }
  }
  void TearDown() override {
    RunEventsFor(std::chrono::milliseconds(50));  // lets windows destroyed with Destroy() go
    if (loop_) wxEventLoopBase::SetActive(nullptr);
    loop_.reset();
  }

 private:
  std::unique_ptr<wxGUIEventLoop> loop_;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new EventLoopEnvironment);

void RunPendingEvents() {
  wxEventLoopBase* loop = wxEventLoopBase::GetActive();
  while (loop && loop->Pending()) loop->Dispatch();
  wxTheApp->ProcessPendingEvents();
  wxTheApp->ProcessIdle();
}

}  // namespace

bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    RunPendingEvents();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void RunEventsFor(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  RunEventsUntil([&] { return std::chrono::steady_clock::now() >= end; }, duration * 2);
}

bool SaveScreenCapture(wxWindow& window, const std::filesystem::path& file) {
  const wxRect area = window.GetScreenRect();
  ScreenPixels pixels;
  if (!CaptureScreenArea(area.GetX(), area.GetY(), area.GetWidth(), area.GetHeight(), &pixels)) {
    return false;
  }
  wxImage image(pixels.width, pixels.height, pixels.rgb.data(), /*static_data=*/true);
  std::error_code ignored;
  std::filesystem::create_directories(file.parent_path(), ignored);
  return image.SaveFile(file.string(), wxBITMAP_TYPE_PNG);
}

}  // namespace rigwright::testing
