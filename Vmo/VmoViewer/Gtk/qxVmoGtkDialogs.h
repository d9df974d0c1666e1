// The main window's modal dialogs on Linux, through GTK 3: the password
// dialog, and the print dialog with a real print job (GTK's print dialog,
// which reaches the printers through CUPS), the page set-up dialog for
// "Change Printer" and a real file chooser for "Save".
//
// GTK 3 was chosen because it is the toolkit of the common Linux desktops,
// its print dialog talks to CUPS itself and its file chooser is the one
// users know; SDL, which draws the show, has no dialogs of this kind. GTK
// is started only when the first dialog opens (gtk_init_check), so a show
// without dialogs never touches it, and it runs on the main thread beside
// SDL's window without sharing its event loop: each dialog runs its own
// modal loop while the show is paused.
#pragma once

#include "Vmo/VmoViewer/qxVmoPasswordDialog.h"
#include "Vmo/VmoViewer/qxVmoPrintDialog.h"

#include <memory>

namespace qx {

class TGtkDialogs final : public TPasswordAsker, public TPrintDialogRunner {
public:
  TGtkDialogs();
  ~TGtkDialogs() override;
  TGtkDialogs(const TGtkDialogs&) = delete;
  TGtkDialogs& operator=(const TGtkDialogs&) = delete;

  // None when GTK cannot start (no display): the dialog counts as
  // cancelled.
  std::optional<std::string> AskPassword(const TPasswordTexts& texts) override;
  void RunPrintDialog(TVmoPrintDialog& dialog) override;

private:
  struct TState;

  // Starts GTK on first use; false when it cannot.
  bool Start();

  std::unique_ptr<TState> m_state;
};

} // namespace qx
