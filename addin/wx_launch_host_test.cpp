// Messages from the pipe link's thread reach the user on the UI thread, and none outlives the
// add-in's launch state.
#include "addin/wx_launch_host.h"

#include <gtest/gtest.h>
#include <wx/app.h>

#include <thread>

#include "common/testing/wx_modal_expectations.h"

namespace rigwright {
namespace {

TEST(WxLaunchHostTest, AMessageFromAnotherThreadIsShownOnTheUiThread) {
  WxLaunchHost host;
  std::thread([&] { host.TellLater("5 files were left out", MessageIcon::kNone); }).join();

  wxString text;
  long style = 0;
  wxTEST_DIALOG(wxTheApp->ProcessPendingEvents(), testing::ExpectMessage(&text, &style));

  EXPECT_EQ(text, "5 files were left out");
  // Without wxICON_NONE the toolkit would pick the information icon.
  EXPECT_EQ(style & wxICON_MASK, wxICON_NONE) << "a failure has no icon";
}

TEST(WxLaunchHostTest, AMessageNotYetShownGoesWithTheLaunchState) {
  {
    WxLaunchHost host;
    host.TellLater("never shown", MessageIcon::kExclamation);
  }
  testing::GtestModalHook anyDialogFails(__FILE__, __LINE__, __func__);
  wxTheApp->ProcessPendingEvents();
}

}  // namespace
}  // namespace rigwright
