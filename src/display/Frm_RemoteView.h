// "Remote view..." (File > Settings): edits remote.conf, shows the address
// that opens the view with its token, and makes a new token.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace trv {
namespace remote {
class RemoteView;
}

class Frm_RemoteView : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* Caption = "Remote view";
    Frm_RemoteView(remote::RemoteView& view, QWidget* parent = nullptr);

    QCheckBox* chk_enabled;
    QLineEdit* txt_address;
    QLineEdit* txt_port;
    QLineEdit* txt_certificate;
    QLineEdit* txt_key;
    QCheckBox* chk_plainhttp;
    QLineEdit* txt_alertcommand;
    QLineEdit* txt_link; // the address with its token, read-only
    QLabel* lbl_state;
    QPushButton* cmd_save;
    QPushButton* cmd_newtoken;
    QPushButton* cmd_close;

    void cmd_save_Click();
    void cmd_newtoken_Click();

  private:
    void fill();
    void showState(const std::string& message);

    remote::RemoteView& view_;
};

} // namespace trv
