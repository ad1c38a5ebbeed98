// The export dialog: where the machine the editor has just saved goes (a bundle file or Kelmora's
// machine folder on this computer), with an optional external post file. Its decisions live in
// ExportDialogModel; this class lays out the controls and forwards the user's actions.
#pragma once

#include <wx/dialog.h>
#include <wx/font.h>

#include <string>

#include "wrapper/ui/export_dialog_model.h"

class wxChoice;
class wxStaticText;

namespace rigwright {

class CMyEditBrowseCtrl;

class ExportDialog : public wxDialog {
 public:
  // Control ids of the dialog's template.
  enum ControlId : wxWindowID {
    kOkId = 1,
    kCancelId = 2,
    kExportTargetId = 1001,
    kSaveAsFieldId = 1002,
    kDescriptionId = 1003,
    kSaveAsLabelId = 1004,
    kPostFieldId = 1006,
    kPostLabelId = 1009,
  };

  ExportDialog(wxWindow* parent, ExportWriters& writers, DialogMessages& messages);

  // Stores the machine file (UTF-8) and proposes its stem as the bundle's file name.
  void SetMachineFile(const std::string& path);

  const ExportDialogModel& model() const { return model_; }
  wxChoice* exportTarget() const { return exportTarget_; }
  CMyEditBrowseCtrl* saveAsField() const { return saveAsField_; }
  CMyEditBrowseCtrl* postField() const { return postField_; }
  wxStaticText* description() const { return description_; }
  wxStaticText* saveAsLabel() const { return saveAsLabel_; }

 private:
  void CreateControls();
  void OnInitDialog(wxInitDialogEvent& event);
  void UpdateDescription();
  void OnTargetChanged(wxCommandEvent& event);
  void OnOkClicked(wxCommandEvent& event);

  ExportWriters& writers_;
  DialogMessages& messages_;
  ExportDialogModel model_;
  wxFont italicFont_;
  wxChoice* exportTarget_ = nullptr;
  CMyEditBrowseCtrl* saveAsField_ = nullptr;
  wxStaticText* description_ = nullptr;
  wxStaticText* saveAsLabel_ = nullptr;
  wxStaticText* postLabel_ = nullptr;
  CMyEditBrowseCtrl* postField_ = nullptr;
};

// Message boxes with an OK button, over `parent`.
class WxDialogMessages final : public DialogMessages {
 public:
  explicit WxDialogMessages(wxWindow* parent = nullptr) : parent_(parent) {}
  void set_parent(wxWindow* parent) { parent_ = parent; }
  void Show(const DialogMessage& message) override;

 private:
  wxWindow* parent_;
};

}  // namespace rigwright
