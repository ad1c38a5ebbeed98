// A program with the windows a toolkit application has: the hidden helper windows the toolkit
// makes for itself, and one shown frame titled "Toolkit frame". Runs until it is ended.
#include <wx/app.h>
#include <wx/frame.h>

namespace {

class ToolkitFrameApp final : public wxApp {
 public:
  bool OnInit() override {
    auto* frame =
        new wxFrame(nullptr, wxID_ANY, "Toolkit frame", wxPoint(40, 40), wxSize(320, 200));
    frame->Show();
    return true;
  }
};

}  // namespace

wxIMPLEMENT_APP(ToolkitFrameApp);
