// The STL picker: the window in the host through which the user answers the editor's request for
// a component solid. Three sources, top to bottom: an existing STL file, STL files generated from
// checked levels, and one STL file generated from entities picked in the host and given a name.
//
// The picker is a hidden top-level dialog between requests. The pipe link's server thread calls
// RequestStlPath, which has the UI thread fill and show the dialog and then waits until the user
// presses OK (and the files are written) or dismisses the picker.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <wx/dialog.h>

#include "addin/stl_picker_state.h"
#include "addin/user_messages.h"

class wxButton;
class wxCloseEvent;
class wxKeyEvent;
class wxListEvent;
class wxShowEvent;
class wxStaticText;
class wxTextCtrl;

namespace rigwright {

class CustomBrowseCtrl;
class WHeaderCtrl;

// Control ids of the picker, those of its template. OK and Cancel are made the dialog's
// affirmative and escape ids, so that Enter, Escape and the close box reach them.
namespace stl_picker_ids {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kLevelList = 1001;
inline constexpr int kFileField = 1002;
inline constexpr int kFileHeading = 1003;
inline constexpr int kLevelHeading = 1004;
inline constexpr int kPickHeading = 1005;
inline constexpr int kPickButton = 1006;
inline constexpr int kToleranceLabel = 1007;
inline constexpr int kToleranceField = 1008;
inline constexpr int kStatusLine = 1009;
inline constexpr int kNameField = 1010;
}  // namespace stl_picker_ids

class STLPicker final : public wxDialog {
 public:
  // Creates the picker's window, hidden, with no parent. UI thread only. `messages` tells the
  // user about input problems on OK; by default message boxes.
  explicit STLPicker(std::unique_ptr<UserMessages> messages = nullptr);
  // UI thread only. A request still waiting ends with an empty reply. The owner must not destroy
  // the picker while another thread may be about to call RequestStlPath or OpenRequest.
  ~STLPicker() override;

  STLPicker(const STLPicker&) = delete;
  STLPicker& operator=(const STLPicker&) = delete;

  // One STL request: fills the level list, shows the picker and returns the STL reply (UTF-8)
  // once the user has ended the request; empty when nothing was chosen or the picker was
  // dismissed. Call it from a thread other than the UI thread while the UI thread runs its event
  // loop. On the UI thread it could never be answered (the thread would wait for itself), so
  // there it returns an empty reply at once; so does a call while another request is open.
  std::string RequestStlPath();

  // RequestStlPath's first half: opens a request and has the UI thread fill and show the picker.
  // Returns the hand-off whose Wait() gives the reply, null when no request could be opened (on
  // the UI thread, or while another request is open). The hand-off stays valid also when the
  // picker goes; its wait then ends with an empty reply.
  std::shared_ptr<PickerRequestHandOff> OpenRequest();

  // Runs `destroyed` on the UI thread as the picker's destruction begins, whoever destroys it:
  // its owner, or the toolkit, which deletes every top-level window still there when it ends. An
  // owner that may outlive the toolkit learns here that its picker is gone. Must not throw.
  void SetDestroyedCallback(std::function<void()> destroyed);

  // The picker is a helper of the host's windows: hidden or not, it never keeps the host's main
  // loop running after the host's own last window has closed.
  bool ShouldPreventAppExit() const override { return false; }

  // Ends an open request with an empty reply and hides the picker, as Cancel does. Any thread;
  // lets the request's owner stop waiting for a user who never answers.
  void CancelRequest();

  // The wrapper's working folder, in front of generated file names (UTF-8, ending in a
  // separator). Set from the pipe link's thread between requests; read on OK. Any thread.
  void SetStlFolder(std::string folder);
  std::string stlFolder() const;

  // True while a request waits for the user.
  bool waiting() const { return handOff_->IsOpen(); }

 private:
  void CreateControls();
  void InitControls();
  void BindHandlers();

  // RequestStlPath's part on the UI thread: a fresh level list, emptied fields, then shown.
  void BeginRequest();
  void FillLevelList();
  // Enabled controls and the status line, as the state says.
  void ShowState();
  void ShowPicker(bool show);
  void EndRequest(std::string reply);

  void OnSelectInHost();
  void UpdateToleranceState();
  void OnLevelItemChanged(wxListEvent& event);
  void OnAccept();
  void OnDismiss();
  void OnClose(wxCloseEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnShowChanged(wxShowEvent& event);

  std::unique_ptr<UserMessages> messages_;
  std::function<void()> destroyed_;
  // Shared with a waiting RequestStlPath, so that its wait outlives the picker.
  std::shared_ptr<PickerRequestHandOff> handOff_ = std::make_shared<PickerRequestHandOff>();
  StlPickerState state_;     // UI thread only
  bool shouldShow_ = false;  // whether the picker ought to be on screen; UI thread only

  mutable std::mutex folderMutex_;
  std::string stlFolder_;  // guarded by folderMutex_

  wxFont headingFont_;
  wxStaticText* fileHeading_ = nullptr;
  CustomBrowseCtrl* fileField_ = nullptr;
  wxStaticText* levelHeading_ = nullptr;
  WHeaderCtrl* levelList_ = nullptr;
  wxStaticText* pickHeading_ = nullptr;
  wxButton* pickButton_ = nullptr;
  wxTextCtrl* toleranceField_ = nullptr;
  wxStaticText* statusLine_ = nullptr;
  wxTextCtrl* nameField_ = nullptr;
};

}  // namespace rigwright
