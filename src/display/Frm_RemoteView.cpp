#include "display/Frm_RemoteView.h"

#include "display/NamedWidgetQt.h"
#include "remote/RemoteView.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace trv {

Frm_RemoteView::Frm_RemoteView(remote::RemoteView& view, QWidget* parent)
    : QDialog(parent), view_(view) {
    setObjectName("Frm_RemoteView");
    setWindowTitle(Caption);
    auto* form = new QFormLayout;
    chk_enabled = named(new QCheckBox("Remote view on"), "chk_enabled");
    txt_address = named(new QLineEdit, "txt_address");
    txt_port = named(new QLineEdit, "txt_port");
    txt_certificate = named(new QLineEdit, "txt_certificate");
    txt_key = named(new QLineEdit, "txt_key");
    chk_plainhttp =
        named(new QCheckBox("Allow plain HTTP on an address other computers reach"), "chk_plainhttp");
    txt_alertcommand = named(new QLineEdit, "txt_alertcommand");
    txt_link = named(new QLineEdit, "txt_link");
    txt_link->setReadOnly(true);
    txt_link->setMinimumWidth(520);
    lbl_state = named(new QLabel, "lbl_state");
    lbl_state->setWordWrap(true);
    form->addRow(chk_enabled);
    form->addRow("Address", txt_address);
    form->addRow("Port", txt_port);
    form->addRow("TLS certificate (PEM)", txt_certificate);
    form->addRow("TLS key (PEM)", txt_key);
    form->addRow(chk_plainhttp);
    form->addRow("Alert command", txt_alertcommand);
    form->addRow("Open with", txt_link);
    cmd_save = named(new QPushButton("Save"), "cmd_save");
    cmd_newtoken = named(new QPushButton("New token"), "cmd_newtoken");
    cmd_close = named(new QPushButton("Close"), "cmd_close");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmd_newtoken);
    buttons->addStretch();
    buttons->addWidget(cmd_save);
    buttons->addWidget(cmd_close);
    auto* all = new QVBoxLayout(this);
    all->addLayout(form);
    all->addWidget(lbl_state);
    all->addLayout(buttons);
    connect(cmd_save, &QPushButton::clicked, this, &Frm_RemoteView::cmd_save_Click);
    connect(cmd_newtoken, &QPushButton::clicked, this, &Frm_RemoteView::cmd_newtoken_Click);
    connect(cmd_close, &QPushButton::clicked, this, &QDialog::accept);
    fill();
    showState({});
}

void Frm_RemoteView::fill() {
    const remote::RemoteConfig& c = view_.config();
    chk_enabled->setChecked(c.enabled);
    txt_address->setText(q(c.address));
    txt_port->setText(QString::number(c.port));
    txt_certificate->setText(q(c.tls_certificate));
    txt_key->setText(q(c.tls_key));
    chk_plainhttp->setChecked(c.allow_plain_http);
    txt_alertcommand->setText(q(c.alert_command));
}

void Frm_RemoteView::showState(const std::string& message) {
    txt_link->setText(q(view_.loginAddress()));
    if (!message.empty()) lbl_state->setText(q(message));
    else if (view_.serving()) lbl_state->setText("Serving. Anyone with this address can watch.");
    else lbl_state->setText("The remote view is off.");
}

void Frm_RemoteView::cmd_save_Click() {
    remote::RemoteConfig c = view_.config();
    c.enabled = chk_enabled->isChecked();
    c.address = txt_address->text().trimmed().toStdString();
    if (c.address.empty()) c.address = remote::RemoteConfig{}.address;
    bool ok = false;
    const int port = txt_port->text().trimmed().toInt(&ok);
    if (!ok || port < 0 || port > 65535) {
        showState("The port must be a number from 0 to 65535 (0: any free port).");
        return;
    }
    c.port = port;
    c.tls_certificate = txt_certificate->text().trimmed().toStdString();
    c.tls_key = txt_key->text().trimmed().toStdString();
    c.allow_plain_http = chk_plainhttp->isChecked();
    c.alert_command = txt_alertcommand->text().trimmed().toStdString();
    showState(view_.apply(c));
    fill();
}

void Frm_RemoteView::cmd_newtoken_Click() { showState(view_.renewToken()); }

} // namespace trv
