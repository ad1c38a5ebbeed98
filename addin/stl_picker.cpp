#include "addin/stl_picker.h"

#include <utility>

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/thread.h>

#include "addin/custom_browse_ctrl.h"
#include "addin/stl_generation.h"
#include "addin/wheader_ctrl.h"
#include "addin/wx_user_messages.h"

namespace rigwright {
namespace {

namespace ids = stl_picker_ids;

// Position and size in dialog units, which follow the dialog's font.
struct DialogRect {
  int x, y, width, height;
};

// The picker's layout in dialog units.
constexpr DialogRect kDialogRect{0, 0, 395, 389};
constexpr DialogRect kOkRect{281, 368, 50, 14};
constexpr DialogRect kCancelRect{338, 368, 50, 14};
constexpr DialogRect kLevelListRect{7, 89, 381, 227};
constexpr DialogRect kFileHeadingRect{7, 16, 381, 18};
constexpr DialogRect kFileFieldRect{7, 36, 381, 16};
constexpr DialogRect kLevelHeadingRect{7, 63, 381, 22};
constexpr DialogRect kPickHeadingRect{7, 324, 157, 22};
constexpr DialogRect kPickButtonRect{7, 343, 102, 14};
constexpr DialogRect kToleranceLabelRect{7, 370, 93, 12};
constexpr DialogRect kToleranceFieldRect{95, 368, 106, 14};
constexpr DialogRect kStatusLineRect{7, 356, 134, 10};
constexpr DialogRect kNameLabelRect{115, 345, 29, 8};
constexpr DialogRect kNameFieldRect{147, 342, 142, 14};

constexpr int kDialogFontPoints = 8;
constexpr const char* kDialogFontFace = "Microsoft Sans Serif";
constexpr int kHeadingFontPoints = 14;
constexpr const char* kHeadingFontFace = "Segoe UI";

wxString FromUtf8(const std::string& text) { return wxString::FromUTF8(text.data(), text.size()); }

std::string ToUtf8(const wxString& text) {
  const wxScopedCharBuffer utf8 = text.utf8_str();
  return std::string(utf8.data(), utf8.length());
}

}  // namespace

STLPicker::STLPicker(std::unique_ptr<UserMessages> messages)
    : messages_(messages ? std::move(messages) : std::make_unique<WxUserMessages>()) {
  // Not resizable, not centred, hidden until a request comes.
  Create(nullptr, wxID_ANY, "STL picker", wxPoint(0, 0), wxDefaultSize,
         wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
  SetFont(wxFont(wxFontInfo(kDialogFontPoints).FaceName(kDialogFontFace)));
  SetClientSize(ConvertDialogToPixels(wxSize(kDialogRect.width, kDialogRect.height)));
  CreateControls();
  SetAffirmativeId(ids::kOk);
  SetEscapeId(ids::kCancel);
  InitControls();
  BindHandlers();
}

STLPicker::~STLPicker() {
  if (destroyed_) destroyed_();
  handOff_->Retire();
}

void STLPicker::CreateControls() {
  const auto at = [this](const DialogRect& r) {
    return ConvertDialogToPixels(wxPoint(r.x, r.y));
  };
  const auto sized = [this](const DialogRect& r) {
    return ConvertDialogToPixels(wxSize(r.width, r.height));
  };
  const auto label = [&](int id, const char* text, const DialogRect& r) {
    return new wxStaticText(this, id, text, at(r), sized(r), wxST_NO_AUTORESIZE);
  };
  const long field = wxBORDER_SUNKEN | wxTAB_TRAVERSAL;

  // Created in the order in which Tab moves through them.
  auto* ok = new wxButton(this, ids::kOk, "OK", at(kOkRect), sized(kOkRect));
  ok->SetDefault();
  new wxButton(this, ids::kCancel, "Cancel", at(kCancelRect), sized(kCancelRect));
  levelList_ = new WHeaderCtrl(this, ids::kLevelList, at(kLevelListRect), sized(kLevelListRect));
  fileHeading_ = label(ids::kFileHeading, "Select an STL File", kFileHeadingRect);
  fileField_ = new CustomBrowseCtrl(this, ids::kFileField, at(kFileFieldRect),
                                    sized(kFileFieldRect));
  levelHeading_ = label(ids::kLevelHeading, "Or generate from levels", kLevelHeadingRect);
  pickHeading_ = label(ids::kPickHeading, "Or select in Mastercam", kPickHeadingRect);
  pickButton_ = new wxButton(this, ids::kPickButton, "Select", at(kPickButtonRect),
                             sized(kPickButtonRect));
  label(ids::kToleranceLabel, "Triangulation tolerance:", kToleranceLabelRect);
  toleranceField_ = new wxTextCtrl(this, ids::kToleranceField, wxString(),
                                   at(kToleranceFieldRect), sized(kToleranceFieldRect), field);
  statusLine_ = label(ids::kStatusLine, "", kStatusLineRect);
  label(wxID_STATIC, "Name: ", kNameLabelRect);
  nameField_ = new wxTextCtrl(this, ids::kNameField, wxString(), at(kNameFieldRect),
                              sized(kNameFieldRect), field);
}

void STLPicker::InitControls() {
  headingFont_ = wxFont(wxFontInfo(kHeadingFontPoints).FaceName(kHeadingFontFace));
  for (wxStaticText* heading : {fileHeading_, levelHeading_, pickHeading_}) {
    heading->SetFont(headingFont_);
    heading->Refresh();
  }
  for (const LevelColumn& column : kLevelColumns) {
    levelList_->AddColumn(column.title, column.widthArgument);
  }
  levelList_->FitColumnsToClientWidth();
  toleranceField_->ChangeValue(kInitialToleranceText);
  // A new picker has no request: nothing to choose from and nothing to generate.
  levelList_->Disable();
  toleranceField_->Disable();
  nameField_->Disable();
}

void STLPicker::BindHandlers() {
  pickButton_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnSelectInHost(); });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAccept(); }, ids::kOk);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnDismiss(); }, ids::kCancel);
  Bind(wxEVT_CLOSE_WINDOW, &STLPicker::OnClose, this);
  Bind(wxEVT_CHAR_HOOK, &STLPicker::OnCharHook, this);
  Bind(wxEVT_SHOW, &STLPicker::OnShowChanged, this);
  levelList_->Bind(wxEVT_LIST_ITEM_CHECKED, &STLPicker::OnLevelItemChanged, this);
  levelList_->Bind(wxEVT_LIST_ITEM_UNCHECKED, &STLPicker::OnLevelItemChanged, this);
}

std::string STLPicker::RequestStlPath() {
  const std::shared_ptr<PickerRequestHandOff> request = OpenRequest();
  return request ? request->Wait() : std::string();
}

std::shared_ptr<PickerRequestHandOff> STLPicker::OpenRequest() {
  if (wxIsMainThread() || !handOff_->Open()) return nullptr;
  // Dropped with the picker if it goes before the UI thread gets to it.
  CallAfter([this] { BeginRequest(); });
  // A copy, so that the wait stays valid if the picker is destroyed meanwhile.
  return handOff_;
}

void STLPicker::SetDestroyedCallback(std::function<void()> destroyed) {
  destroyed_ = std::move(destroyed);
}

void STLPicker::CancelRequest() {
  handOff_->Finish({});
  if (wxIsMainThread()) {
    ShowPicker(false);
  } else {
    CallAfter([this] {
      if (!handOff_->IsOpen()) ShowPicker(false);
    });
  }
}

void STLPicker::SetStlFolder(std::string folder) {
  std::lock_guard lock(folderMutex_);
  stlFolder_ = std::move(folder);
}

std::string STLPicker::stlFolder() const {
  std::lock_guard lock(folderMutex_);
  return stlFolder_;
}

void STLPicker::BeginRequest() {
  if (!handOff_->IsOpen()) return;  // cancelled before the UI thread got to it
  state_.BeginRequest(GetStlLevels());
  FillLevelList();
  fileField_->SetValue(wxString());
  // The tolerance keeps what the user typed in an earlier request.
  nameField_->ChangeValue(wxString());
  ShowState();
  ShowPicker(true);
}

void STLPicker::FillLevelList() {
  levelList_->DeleteAllItems();
  const std::vector<StlLevelRow>& rows = state_.rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const long row = levelList_->InsertItem(static_cast<long>(i), wxString());
    levelList_->SetItem(row, 1, wxString::Format("%d", rows[i].number));
    levelList_->SetItem(row, 2, FromUtf8(rows[i].name));
  }
}

void STLPicker::ShowState() {
  levelList_->Enable(state_.LevelListEnabled());
  toleranceField_->Enable(state_.ToleranceEnabled());
  nameField_->Enable(state_.NameEnabled());
  statusLine_->SetLabel(FromUtf8(state_.StatusText()));
}

void STLPicker::EndRequest(std::string reply) {
  ShowPicker(false);
  handOff_->Finish(std::move(reply));
}

void STLPicker::ShowPicker(bool show) {
  shouldShow_ = show;
  if (show) {
    // A window hidden right after it was shown may still count as shown (see OnShowChanged);
    // hiding it first makes Show() map it for certain.
    if (IsShown()) Hide();
    Show();
    Raise();
  } else {
    Hide();
  }
}

void STLPicker::OnShowChanged(wxShowEvent& event) {
  // When the picker is hidden before the display server has mapped it, the late map still
  // reports it as shown, and a later Show() would then do nothing. Hide it again for good.
  if (event.IsShown() && !shouldShow_) {
    CallAfter([this] {
      if (!shouldShow_) Hide();
    });
  }
  event.Skip();
}

void STLPicker::OnSelectInHost() {
  // The user picks in the host's own window, which the picker would cover.
  ShowPicker(false);
  state_.SetPick(PickEntitiesInHost());
  ShowState();
  // The request may have been cancelled during the pick.
  if (handOff_->IsOpen()) ShowPicker(true);
}

void STLPicker::UpdateToleranceState() { toleranceField_->Enable(state_.ToleranceEnabled()); }

void STLPicker::OnLevelItemChanged(wxListEvent& event) {
  const int rows = levelList_->GetItemCount();
  for (int row = 0; row < rows; ++row) {
    state_.SetLevelChecked(static_cast<std::size_t>(row), levelList_->IsItemChecked(row));
  }
  UpdateToleranceState();
  event.Skip();
}

void STLPicker::OnAccept() {
  if (!handOff_->IsOpen()) {  // nothing asked for: write nothing
    ShowPicker(false);
    return;
  }
  const PickerTexts texts{ToUtf8(toleranceField_->GetValue()), ToUtf8(nameField_->GetValue()),
                          ToUtf8(fileField_->GetValue())};
  std::optional<std::string> reply = state_.Accept(texts, stlFolder(), *messages_);
  if (reply) EndRequest(std::move(*reply));
}

void STLPicker::OnDismiss() { EndRequest({}); }

void STLPicker::OnCharHook(wxKeyEvent& event) {
  // The level list takes Enter as activating its selected row; in the picker Enter is OK.
  const bool enter = event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER;
  wxWindow* focus = FindFocus();
  if (enter && event.GetModifiers() == wxMOD_NONE && focus &&
      (focus == levelList_ || levelList_->IsDescendant(focus))) {
    EmulateButtonClickIfPresent(GetAffirmativeId());
    return;
  }
  event.Skip();
}

void STLPicker::OnClose(wxCloseEvent&) {
  // Closing ends the request; the window stays for the next one.
  OnDismiss();
}

}  // namespace rigwright
