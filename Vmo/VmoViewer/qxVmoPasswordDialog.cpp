#include "Vmo/VmoViewer/qxVmoPasswordDialog.h"

#include "QxLib/qxIniStorage.h"

namespace qx {

TVmoPasswordDialog::TVmoPasswordDialog(const TIniSection* main) : m_password(kMissingPassword) {
  if (!main)
    return;
  m_texts.Caption = main->ReadString("opt_lng_password_caption", m_texts.Caption);
  m_texts.Label = main->ReadString("opt_lng_password_label", m_texts.Label);
  m_texts.Ok = main->ReadString("opt_lng_button_ok", m_texts.Ok);
  m_texts.Cancel = main->ReadString("opt_lng_button_cancel", m_texts.Cancel);
  m_password = main->ReadString("opt_pass", kMissingPassword);
}

bool TVmoPasswordDialog::Check(TPasswordAsker& asker) const {
  const std::optional<std::string> typed = asker.AskPassword(m_texts);
  return typed && *typed == m_password;
}

bool ShowUsesPassword(const TIniSection* main) { return main && main->ReadBool("opt_usepass", false); }

} // namespace qx
