// Start button and shortcut button of the assistant window.
//
// Placeholder: the launch workflows, the TeamViewer version check and the
// shortcut installer replace these bodies.
#include "app/MainForm.h"

namespace orvane {

void TMainForm::btnShutdownClick() { ShowStatus("Not available yet", 10); }

void TMainForm::CheckTeamViewerVersion() {
  mustkillProcess = false;
  forceDownloadTeamviewer = false;
  needDownloadTeamViewer = false;
  foundCorrectTeamviewer = false;
  fView.SetWindowHeight(190);
}

void TMainForm::btnInstallShortcutClick() { ShowStatus("Not available yet", 10); }

}  // namespace orvane
