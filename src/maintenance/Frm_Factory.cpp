#include "maintenance/Frm_Factory.h"

#include "display/NamedWidgetQt.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace trv {

Frm_Factory::Frm_Factory(SharedState& state, Ports& ports, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(state, ports) {
    setObjectName("Frm_Factory");
    setWindowTitle(Caption);
    auto* root = new QVBoxLayout(this);

    lblserial = named(new QLabel, "lblserial");
    QFont f = lblserial->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    lblserial->setFont(f);
    root->addWidget(lblserial);
    txt_mensaje = named(new QLineEdit(q(model_.txt_mensaje)), "txt_mensaje");
    txt_mensaje->setReadOnly(true);
    root->addWidget(txt_mensaje);

    Frame_temp = named(new QGroupBox("Temperature Sensing Calibration"), "Frame_temp");
    auto* form = new QFormLayout(Frame_temp);
    txt_current_temp = named(new QLineEdit, "txt_current_temp");
    txt_current_temp->setReadOnly(true);
    txt_set_temp = named(new QLineEdit, "txt_set_temp");
    Cmd_temp = named(new QPushButton("SET"), "Cmd_temp");
    form->addRow("Current value =", txt_current_temp);
    form->addRow("Calibration T", txt_set_temp);
    form->addRow("", Cmd_temp);
    root->addWidget(Frame_temp);
    root->addStretch(1);

    Timer_temp = new QTimer(this);
    Timer_temp->setObjectName("Timer_temp");
    Timer_temp->setInterval(kTempTimerMs);
    connect(Timer_temp, &QTimer::timeout, this, [this] {
        model_.Timer_temp_Timer();
        sync();
    });
    connect(Cmd_temp, &QPushButton::clicked, this, [this] {
        model_.txt_set_temp = txt_set_temp->text().toStdString();
        model_.Cmd_temp_Click();
        sync();
    });
    resize(420, 240);
}

void Frm_Factory::sync() {
    lblserial->setText(q(model_.lblserial));
    txt_mensaje->setText(q(model_.txt_mensaje));
    txt_current_temp->setText(q(model_.txt_current_temp));
}

void Frm_Factory::open() {
    model_.open();
    sync();
    txt_set_temp->setText(q(model_.txt_set_temp));
    show();
    raise();
    Timer_temp->start();
}

void Frm_Factory::closeEvent(QCloseEvent* e) {
    Timer_temp->stop();
    e->accept();
    if (onClosed) onClosed();
}

} // namespace trv
