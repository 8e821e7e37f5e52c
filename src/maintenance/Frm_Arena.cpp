#include "maintenance/Frm_Arena.h"

#include "display/NamedWidgetQt.h"
#include "display/SurfaceQt.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace trv {

namespace {
QScrollBar* scrollBar(const char* name, int highest) {
    auto* s = named(new QScrollBar(Qt::Horizontal), name);
    s->setRange(0, highest);
    s->setMinimumWidth(120);
    return s;
}
QLineEdit* box(const char* name, int width, bool readOnly = false) {
    auto* e = named(new QLineEdit, name);
    e->setMaximumWidth(width);
    e->setReadOnly(readOnly);
    return e;
}
} // namespace

Frm_Arena::Frm_Arena(SharedState& state, Ports& ports, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(state, ports) {
    setObjectName("Frm_Arena");
    setWindowTitle(Caption);
    build();
    wire();
    resize(1000, 680);
}

void Frm_Arena::build() {
    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    cmdexit = named(new QPushButton("EXIT"), "cmdexit");
    cmdoffline = named(new QPushButton("OFFLINE"), "cmdoffline");
    cmdonline = named(new QPushButton("ONLINE"), "cmdonline");
    cmdmain = named(new QPushButton("Main"), "cmdmain");
    cmdsetup = named(new QPushButton("Setup"), "cmdsetup");
    cmdofflinewin = named(new QPushButton("OffLine"), "cmdofflinewin");
    for (QPushButton* b : {cmdexit, cmdoffline, cmdonline})
        top->addWidget(b);
    top->addStretch(1);
    for (QPushButton* b : {cmdmain, cmdsetup, cmdofflinewin})
        top->addWidget(b);
    root->addLayout(top);

    auto* body = new QHBoxLayout;
    root->addLayout(body, 1);

    // Plate, trace and zoom on the left.
    auto* left = new QVBoxLayout;
    Picwell = named(new SurfaceWidget, "Picwell");
    Picwell->setMinimumSize(480, 300);
    left->addWidget(Picwell, 3);
    Picreal = named(new SurfaceWidget, "Picreal");
    Picreal->setMinimumSize(480, 180);
    left->addWidget(Picreal, 2);
    auto* zoomRow = new QHBoxLayout;
    zoomRow->addWidget(new QLabel("Zoom"));
    cmdzoom_minus = named(new QPushButton("-"), "cmdzoom_minus");
    txtzoom = box("txtzoom", 40, true);
    cmdzoom_plus = named(new QPushButton("+"), "cmdzoom_plus");
    for (QPushButton* b : {cmdzoom_minus, cmdzoom_plus})
        b->setMaximumWidth(30);
    zoomRow->addWidget(cmdzoom_minus);
    zoomRow->addWidget(txtzoom);
    zoomRow->addWidget(cmdzoom_plus);
    zoomRow->addStretch(1);
    left->addLayout(zoomRow);
    body->addLayout(left, 3);

    // Controls on the right.
    auto* right = new QVBoxLayout;
    auto* chan = named(new QGroupBox("Channel"), "Frame_channel");
    auto* cg = new QGridLayout(chan);
    Combofila = named(new QComboBox, "Combofila");
    for (char c = 'A'; c <= 'P'; ++c)
        Combofila->addItem(QString(QChar(c)));
    Combocol = named(new QComboBox, "Combocol");
    for (int c = 1; c <= 24; ++c)
        Combocol->addItem(QString::number(c));
    cg->addWidget(Combofila, 0, 0);
    cg->addWidget(Combocol, 0, 1);
    cg->addWidget(new QLabel("Channel:"), 1, 0);
    lblcanal = named(new QLabel("0"), "lblcanal");
    cg->addWidget(lblcanal, 1, 1);
    cg->addWidget(new QLabel("Status:"), 2, 0);
    lblstatus = named(new QLabel("ENABLED"), "lblstatus");
    lblstatus->setToolTip("Double-click to enable or disable the channel");
    lblstatus->installEventFilter(this);
    cg->addWidget(lblstatus, 2, 1);
    cg->addWidget(new QLabel("PinHole"), 3, 0);
    txtpower = box("txtpower", 40, true);
    scrollpower = scrollBar("scrollpower", 7);
    cg->addWidget(txtpower, 3, 1);
    cg->addWidget(scrollpower, 3, 2);
    cg->addWidget(new QLabel("Gain:"), 4, 0);
    txtgain = box("txtgain", 40, true);
    scrollgain = scrollBar("scrollgain", 7);
    cg->addWidget(txtgain, 4, 1);
    cg->addWidget(scrollgain, 4, 2);
    lblout = named(new QLabel, "lblout");
    cg->addWidget(lblout, 5, 0, 1, 2);
    Cmd_setall = named(new QPushButton("Set All"), "Cmd_setall");
    cg->addWidget(Cmd_setall, 5, 2);
    cg->addWidget(new QLabel("Threshold:"), 6, 0);
    txt_threshold = box("txt_threshold", 50, true);
    Scroll_threshold = scrollBar("Scroll_threshold", 100);
    cg->addWidget(txt_threshold, 6, 1);
    cg->addWidget(Scroll_threshold, 6, 2);
    right->addWidget(chan);

    auto* set = named(new QGroupBox("PinHole / Gain of every channel"), "Frame_set");
    auto* sg = new QHBoxLayout(set);
    txt_power = box("txt_power", 40);
    txt_ganancia = box("txt_ganancia", 40);
    cmd_setcalibra = named(new QPushButton("SET"), "cmd_setcalibra");
    sg->addWidget(new QLabel("PinHole"));
    sg->addWidget(txt_power);
    sg->addWidget(new QLabel("Gain:"));
    sg->addWidget(txt_ganancia);
    sg->addWidget(cmd_setcalibra);
    right->addWidget(set);

    auto* cal = named(new QGroupBox("Calibration"), "Frame_calibra");
    auto* kg = new QGridLayout(cal);
    kg->addWidget(new QLabel("Auto-Adjust to:"), 0, 0);
    Txtajuste = box("Txtajuste", 50);
    kg->addWidget(Txtajuste, 0, 1);
    kg->addWidget(new QLabel("%"), 0, 2);
    Combomode = named(new QComboBox, "Combomode");
    Combomode->setEditable(true);
    Combomode->addItems({"Max.Gain", "Max.Power"});
    kg->addWidget(Combomode, 1, 0, 1, 3);
    Cmdcalibrar = named(new QPushButton("<CALIBRATE>& Auto-Gain"), "Cmdcalibrar");
    kg->addWidget(Cmdcalibrar, 2, 0, 1, 3);
    lblcalibrando = named(new QLabel, "lblcalibrando");
    lblcalibrando->setVisible(false);
    kg->addWidget(lblcalibrando, 3, 0, 1, 3);
    right->addWidget(cal);

    auto* test = named(new QGroupBox("Gain curve"), "Frame_test");
    auto* tg = new QVBoxLayout(test);
    cmdTEST = named(new QPushButton("TEST CURVA DE GANANCIA"), "cmdTEST");
    txt_test = box("txt_test", 400, true);
    picturecal = named(new QProgressBar, "picturecal");
    picturecal->setRange(0, 1000);
    picturecal->setTextVisible(false);
    picturecal->setMaximumHeight(12);
    tg->addWidget(cmdTEST);
    tg->addWidget(txt_test);
    tg->addWidget(picturecal);
    right->addWidget(test);

    auto* out = named(new QGroupBox("Pixel scan"), "Frame_out");
    auto* og = new QGridLayout(out);
    Picwell_out = named(new SurfaceWidget, "Picwell_out");
    Picwell_out->setMinimumSize(240, 100);
    og->addWidget(Picwell_out, 0, 0, 1, 5);
    og->addWidget(new QLabel("Pixel_Size"), 1, 0);
    txt_pixsize = box("txt_pixsize", 40);
    og->addWidget(txt_pixsize, 1, 1);
    og->addWidget(new QLabel("Brillo Pixels"), 2, 0);
    txt_brillo = box("txt_brillo", 40);
    og->addWidget(txt_brillo, 2, 1);
    cmdbrillo_minus = named(new QPushButton("-"), "cmdbrillo_minus");
    cmdbrillo_plus = named(new QPushButton("+"), "cmdbrillo_plus");
    cmdbrillo_minus->setMaximumWidth(30);
    cmdbrillo_plus->setMaximumWidth(30);
    og->addWidget(cmdbrillo_minus, 2, 2);
    og->addWidget(cmdbrillo_plus, 2, 3);
    right->addWidget(out);
    right->addStretch(1);
    body->addLayout(right, 2);

    Timerreal = new QTimer(this);
    Timerreal->setObjectName("Timerreal");
    Timerreal->setInterval(kSamplingMs);
}

template <typename F> void Frm_Arena::run(F&& f) {
    if (syncing_) return;
    f();
    sync();
}

void Frm_Arena::wire() {
    model_.picreal = &Picreal->surface();
    model_.picwell = &Picwell->surface();
    model_.picwellOut = &Picwell_out->surface();
    model_.onViewChanged = [this] { sync(); };
    model_.hooks.setSampling = [this](bool on) {
        if (on)
            Timerreal->start();
        else
            Timerreal->stop();
    };
    connect(Timerreal, &QTimer::timeout, this,
            [this] { run([this] { model_.Timerreal_Timer(); }); });

    connect(cmdexit, &QPushButton::clicked, this,
            [this] { run([this] { model_.cmdexit_Click(); }); });
    connect(cmdoffline, &QPushButton::clicked, this,
            [this] { run([this] { model_.cmdoffline_Click(); }); });
    connect(cmdonline, &QPushButton::clicked, this,
            [this] { run([this] { model_.cmdonline_Click(); }); });
    connect(cmdmain, &QPushButton::clicked, this,
            [this] { run([this] { model_.cmdmain_Click(); }); });
    connect(cmdsetup, &QPushButton::clicked, this,
            [this] { run([this] { model_.cmdsetup_Click(); }); });
    connect(cmdofflinewin, &QPushButton::clicked, this,
            [this] { run([this] { model_.cmdofflinewindow_Click(); }); });
    connect(Combofila, &QComboBox::activated, this, [this](int i) {
        run([this, i] { model_.Combofila_Click(static_cast<char>('A' + i)); });
    });
    connect(Combocol, &QComboBox::activated, this,
            [this](int i) { run([this, i] { model_.Combocol_Click(i + 1); }); });
    connect(Picwell, &SurfaceWidget::mousePressed, this,
            [this](Qt::MouseButton, double x, double y) {
                run([this, x, y] {
                    model_.Picwell_Click(static_cast<int>(std::floor(x)),
                                         static_cast<int>(std::floor(y)));
                });
            });
    connect(scrollpower, &QScrollBar::valueChanged, this,
            [this](int v) { run([this, v] { model_.scrollpower_Change(v); }); });
    connect(scrollgain, &QScrollBar::valueChanged, this,
            [this](int v) { run([this, v] { model_.scrollgain_Change(v); }); });
    connect(Scroll_threshold, &QScrollBar::valueChanged, this,
            [this](int v) { run([this, v] { model_.Scroll_threshold_Change(v); }); });
    connect(Cmd_setall, &QPushButton::clicked, this,
            [this] { run([this] { model_.Cmd_setall_Click(); }); });
    connect(cmd_setcalibra, &QPushButton::clicked, this, [this] {
        run([this] {
            model_.txt_power = txt_power->text().toStdString();
            model_.txt_ganancia = txt_ganancia->text().toStdString();
            model_.cmd_setcalibra_Click();
        });
    });
    connect(Cmdcalibrar, &QPushButton::clicked, this, [this] {
        run([this] {
            model_.Txtajuste = Txtajuste->text().toStdString();
            model_.Combomode = Combomode->currentText().toStdString();
            model_.Cmdcalibrar_Click();
        });
    });
    connect(cmdTEST, &QPushButton::clicked, this,
            [this] { run([this] { model_.cmdTEST_Click(); }); });
    connect(cmdzoom_plus, &QPushButton::clicked, this,
            [this] { run([this] { model_.zoomIn(); }); });
    connect(cmdzoom_minus, &QPushButton::clicked, this,
            [this] { run([this] { model_.zoomOut(); }); });
    connect(cmdbrillo_plus, &QPushButton::clicked, this,
            [this] { run([this] { model_.brighter(); }); });
    connect(cmdbrillo_minus, &QPushButton::clicked, this,
            [this] { run([this] { model_.darker(); }); });
    connect(txt_pixsize, &QLineEdit::editingFinished, this, [this] {
        run([this] { model_.pixelSize = std::clamp(txt_pixsize->text().toInt(), 1, 50); });
    });
    connect(txt_brillo, &QLineEdit::editingFinished, this, [this] {
        run([this] { model_.brightness = std::clamp(txt_brillo->text().toInt(), 0, 255); });
    });
    for (SurfaceWidget* w : {Picwell, Picreal})
        connect(w, &SurfaceWidget::resized, this, [this] { model_.redraw(); });
}

void Frm_Arena::sync() {
    syncing_ = true;
    const Workbench& m = model_;
    Combofila->setCurrentIndex(m.channel % 16);
    Combocol->setCurrentIndex(m.channel / 16);
    lblcanal->setText(QString::number(m.channel));
    lblstatus->setText(q(m.status));
    scrollpower->setValue(m.power);
    txtpower->setText(QString::number(m.power));
    scrollgain->setValue(m.gain);
    txtgain->setText(QString::number(m.gain));
    lblout->setText(q(m.lblout));
    if (txt_power->text().toStdString() != m.txt_power) txt_power->setText(q(m.txt_power));
    if (txt_ganancia->text().toStdString() != m.txt_ganancia)
        txt_ganancia->setText(q(m.txt_ganancia));
    Scroll_threshold->setValue(static_cast<int>(std::lround(m.threshold)));
    txt_threshold->setText(QString::number(m.threshold));
    lblcalibrando->setText(q(m.lblcalibrando));
    lblcalibrando->setVisible(m.progressShown);
    txt_test->setText(q(m.txt_test));
    picturecal->setValue(static_cast<int>(m.testProgress * 1000));
    txtzoom->setText(QString::number(m.zoom));
    txt_pixsize->setText(QString::number(m.pixelSize));
    txt_brillo->setText(QString::number(m.brightness));
    cmdonline->setEnabled(m.onlineEnabled && !m.online);
    syncing_ = false;
}

void Frm_Arena::open() {
    model_.open();
    Txtajuste->setText(q(model_.Txtajuste));
    Combomode->setCurrentText(q(model_.Combomode));
    sync();
    show();
    raise();
}

bool Frm_Arena::eventFilter(QObject* watched, QEvent* e) {
    if (watched == lblstatus && e->type() == QEvent::MouseButtonDblClick) {
        run([this] { model_.lblstatus_DblClick(); });
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void Frm_Arena::closeEvent(QCloseEvent* e) {
    // Closing the window is leaving it for the main window.
    model_.cmdmain_Click();
    e->accept();
}

} // namespace trv
