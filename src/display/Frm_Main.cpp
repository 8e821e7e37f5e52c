#include "display/Frm_Main.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "common/Numeric.h"
#include "device/ModCOMM.h"
#include "display/NamedWidgetQt.h"
#include "display/QtStatusView.h"
#include "display/SurfaceQt.h"
#include "store/ConfigFile.h"
#include "store/ReportConfigFile.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace trv {

namespace {

QPushButton* button(const char* name, const char* caption, const char* tip = nullptr) {
    auto* b = named(new QPushButton(caption), name);
    if (tip) b->setToolTip(tip);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QLineEdit* box(const char* name, const char* text = "", bool readOnly = false) {
    auto* e = named(new QLineEdit(text), name);
    e->setReadOnly(readOnly);
    return e;
}

QLabel* caption(const char* text) {
    auto* l = new QLabel(text);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 0.9);
    l->setFont(f);
    return l;
}

void setIndicator(QFrame* shape, Indicator i) {
    QColor c = Qt::white;
    switch (i) {
    case Indicator::White:
        c = Qt::white;
        break;
    case Indicator::Red:
        c = QColor(220, 30, 30);
        break;
    case Indicator::Green:
        c = QColor(30, 180, 30);
        break;
    case Indicator::Blue:
        c = QColor(30, 60, 220);
        break;
    }
    shape->setStyleSheet(
        QString("background-color: %1; border: 1px solid #444; border-radius: 8px;").arg(c.name()));
}

void setTextQuietly(QLineEdit* e, const std::string& text) {
    if (e->text() == q(text)) return;
    QSignalBlocker b(e);
    e->setText(q(text));
}

int clampInt(double v, int lo, int hi) {
    return std::clamp(static_cast<int>(v), lo, hi);
}

} // namespace

Frm_Main::Frm_Main(SharedState& state, Ports& ports, QWidget* parent)
    : QMainWindow(parent), s_(state), ports_(ports), run_(state, ports), startup_(state, ports) {
    setObjectName("Frm_Main");
    setWindowTitle(Caption);
    build();
    buildMenus();
    wireRun();
    wireStartup();
    setMinimumSize(980, 660);
    resize(1280, 800);
}

Frm_Main::~Frm_Main() = default;

// --- Building the window ------------------------------------------------------

void Frm_Main::build() {
    auto* central = new QWidget;
    central->setObjectName("central");
    setCentralWidget(central);
    central->installEventFilter(this);

    buildHeader(central);
    buildPlotArea(central);
    buildSignalView(central);
    buildToolColumn(central);
    buildBottomBand(central);
    buildStatusFrame(central);
    buildTimers();
}

// The header band: project, acquisition, format, time, notes, detection and
// ">Edit".
void Frm_Main::buildHeader(QWidget* central) {
    auto* header = named(new QWidget(central), "headerBand");
    auto* hg = new QGridLayout(header);
    hg->setContentsMargins(6, 4, 6, 2);
    hg->setHorizontalSpacing(8);
    hg->setVerticalSpacing(1);
    txt_projecto = box("txt_projecto", "", true);
    txt_subproject = box("txt_subproject", "", true);
    txt_wellformat = box("txt_wellformat", "", true);
    txt_acqlapse = box("txt_acqlapse", "", true);
    txt_detection = box("txt_detection", "", true);
    txt_description = named(new QPlainTextEdit, "txt_description");
    txt_description->setTabChangesFocus(true);
    Cmdsetup = button("Cmdsetup", ">Edit", "Edit the experiment setup");
    hg->addWidget(caption("Project:"), 0, 0);
    hg->addWidget(caption("Current Acquisition"), 0, 1);
    hg->addWidget(caption("Format:"), 0, 2);
    hg->addWidget(caption("Time:"), 0, 3);
    hg->addWidget(txt_projecto, 1, 0);
    hg->addWidget(txt_subproject, 1, 1);
    hg->addWidget(txt_wellformat, 1, 2);
    hg->addWidget(txt_acqlapse, 1, 3);
    hg->addWidget(caption("Notes:"), 2, 0);
    hg->addWidget(caption("Detection:"), 2, 2);
    hg->addWidget(txt_description, 3, 0, 1, 2);
    hg->addWidget(txt_detection, 3, 2, 1, 2, Qt::AlignTop);
    hg->addWidget(Cmdsetup, 1, 4);
    hg->setColumnStretch(0, 30);
    hg->setColumnStretch(1, 28);
    hg->setColumnStretch(2, 16);
    hg->setColumnStretch(3, 14);
    hg->setColumnStretch(4, 9);
    hg->setRowStretch(3, 1);
    QFont editFont = Cmdsetup->font();
    editFont.setBold(true);
    Cmdsetup->setFont(editFont);
    connect(Cmdsetup, &QPushButton::clicked, this, &Frm_Main::Cmdsetup_Click);
}

// The activity plot area: the plot buttons, the group box, the page buttons
// and Picact.
void Frm_Main::buildPlotArea(QWidget* central) {
    auto* plotArea = named(new QWidget(central), "plotArea");
    auto* pv = new QVBoxLayout(plotArea);
    pv->setContentsMargins(6, 2, 4, 2);
    pv->setSpacing(3);
    auto* pbar = new QHBoxLayout;
    Cmd_barplot = button("Cmd_barplot", "Bar Plot");
    Cmd_gridplot = button("Cmd_gridplot", "Heatmap PLOT");
    Cmd_histoplot = button("Cmd_histoplot", "BodyBends Histogram PLOT");
    Cmd_histoplot->setVisible(false);
    combogrup = named(new QComboBox, "combogrup");
    combogrup->setToolTip("Group view");
    combogrup->setMinimumContentsLength(14);
    cmd_pgdown = button("cmd_pgdown", "<", "previous page");
    cmd_pgup = button("cmd_pgup", ">", "next page");
    for (QPushButton* b : {cmd_pgdown, cmd_pgup}) {
        b->setFixedWidth(30);
        b->setVisible(false);
    }
    pbar->addWidget(Cmd_barplot);
    pbar->addWidget(Cmd_gridplot);
    pbar->addWidget(Cmd_histoplot);
    pbar->addWidget(caption("Group:"));
    pbar->addWidget(combogrup, 1);
    pbar->addWidget(cmd_pgdown);
    pbar->addWidget(cmd_pgup);
    pv->addLayout(pbar);
    Picact = named(new SurfaceWidget, "Picact");
    Picact->setMinimumSize(200, 150);
    pv->addWidget(Picact, 1);

    connect(Cmd_barplot, &QPushButton::clicked, this, [this] {
        withDisplay(
            [this](const LiveDisplayContext& c) { display_.plots.showBarPlot(c.picact, c.data); });
    });
    connect(Cmd_gridplot, &QPushButton::clicked, this, [this] {
        withDisplay(
            [this](const LiveDisplayContext& c) { display_.plots.showHeatmap(c.picact, c.data); });
    });
    connect(Cmd_histoplot, &QPushButton::clicked, this, [this] {
        withDisplay([this](const LiveDisplayContext& c) {
            display_.plots.showHistogram(c.picact, c.data);
        });
    });
    connect(cmd_pgup, &QPushButton::clicked, this, [this] {
        withDisplay(
            [this](const LiveDisplayContext& c) { display_.plots.pageUp(c.picact, c.data); });
    });
    connect(cmd_pgdown, &QPushButton::clicked, this, [this] {
        withDisplay(
            [this](const LiveDisplayContext& c) { display_.plots.pageDown(c.picact, c.data); });
    });
    connect(combogrup, QOverload<int>::of(&QComboBox::activated), this, [this](int i) {
        std::string entry = combogrup->itemText(i).toStdString();
        withDisplay([&](const LiveDisplayContext& c) { display_.groupChosen(entry, c); });
    });
    connect(Picact, &SurfaceWidget::resized, this, [this] {
        withDisplay(
            [this](const LiveDisplayContext& c) { display_.plots.redraw(c.picact, c.data); });
    });
}

// The channel signal view: row, column and beam pickers, Picreal, zoom, the
// channel steps and the group's members.
void Frm_Main::buildSignalView(QWidget* central) {
    Framereal = named(new QGroupBox("Channel signal", central), "Framereal");
    auto* rv = new QGridLayout(Framereal);
    rv->setContentsMargins(4, 4, 4, 4);
    rv->setHorizontalSpacing(4);
    rv->setVerticalSpacing(3);
    Combofila = named(new QComboBox, "Combofila");
    Combofila->setToolTip("Row");
    Combocol = named(new QComboBox, "Combocol");
    Combocol->setToolTip("Column");
    txtsub = box("txtsub", "0");
    txtsub->setToolTip("Beam of the well");
    txtsub->setMaximumWidth(36);
    lblcanal = named(new QLabel("Channel: 0"), "lblcanal");
    auto* pick = new QHBoxLayout;
    pick->addWidget(caption("Row"));
    pick->addWidget(Combofila, 1);
    pick->addWidget(caption("Col"));
    pick->addWidget(Combocol, 1);
    pick->addWidget(caption("Beam"));
    pick->addWidget(txtsub);
    rv->addLayout(pick, 0, 0, 1, 3);
    rv->addWidget(lblcanal, 1, 0, 1, 3);
    Picreal = named(new SurfaceWidget, "Picreal");
    Picreal->setMinimumSize(120, 100);
    rv->addWidget(Picreal, 2, 0, 1, 3);
    lblcalibrando = named(new QLabel("Setting blank..."), "lblcalibrando");
    lblcalibrando->setVisible(false);
    rv->addWidget(lblcalibrando, 3, 0, 1, 3);
    auto* zoom = new QHBoxLayout;
    Cmdzoom_minus = button("Cmdzoom_minus", "-", "zoom-");
    Cmdzoom_plus = button("Cmdzoom_plus", "+", "zoom+");
    txtzoom = box("txtzoom", "0", true);
    txtzoom->setMaximumWidth(40);
    txtzoom->setAlignment(Qt::AlignCenter);
    zoom->addWidget(caption("Zoom"));
    zoom->addWidget(Cmdzoom_minus);
    zoom->addWidget(txtzoom);
    zoom->addWidget(Cmdzoom_plus);
    rv->addLayout(zoom, 4, 0, 1, 3);
    auto* step = new QHBoxLayout;
    cmdbeam_minus = button("cmdbeam_minus", "<", "previous channel");
    cmdbeam_plus = button("cmdbeam_plus", ">", "next channel");
    txtbeam = box("txtbeam", "", true);
    txtbeam->setToolTip("Current channel");
    txtbeam->setAlignment(Qt::AlignCenter);
    for (QPushButton* b : {Cmdzoom_minus, Cmdzoom_plus, cmdbeam_minus, cmdbeam_plus})
        b->setFixedWidth(30);
    step->addWidget(cmdbeam_minus);
    step->addWidget(txtbeam, 1);
    step->addWidget(cmdbeam_plus);
    rv->addLayout(step, 5, 0, 1, 3);
    lstgrup = named(new QListWidget, "lstgrup");
    lstgrup->setToolTip("Members of the group (double-click to show)");
    lstgrup->installEventFilter(this);
    rv->addWidget(lstgrup, 6, 0, 1, 3);
    rv->setRowStretch(2, 5);
    rv->setRowStretch(6, 2);

    connect(Combofila, QOverload<int>::of(&QComboBox::activated), this, [this](int i) {
        std::string letter = Combofila->itemText(i).toStdString();
        withDisplay([&](const LiveDisplayContext& c) { display_.rowChosen(letter, c); });
    });
    connect(Combocol, QOverload<int>::of(&QComboBox::activated), this, [this](int i) {
        int column = Combocol->itemText(i).toInt();
        withDisplay([&](const LiveDisplayContext& c) { display_.columnChosen(column, c); });
    });
    connect(txtsub, &QLineEdit::editingFinished, this, [this] {
        if (syncing_) return;
        std::string text = txtsub->text().toStdString();
        withDisplay([&](const LiveDisplayContext& c) { display_.beamBoxLeft(text, c); });
    });
    connect(lstgrup, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        int row = lstgrup->row(item);
        withDisplay([&](const LiveDisplayContext& c) { display_.memberChosen(row, c); });
    });
    connect(cmdbeam_minus, &QPushButton::clicked, this, [this] {
        withDisplay([this](const LiveDisplayContext& c) { display_.previousMember(c); });
    });
    connect(cmdbeam_plus, &QPushButton::clicked, this, [this] {
        withDisplay([this](const LiveDisplayContext& c) { display_.nextMember(c); });
    });
    connect(Cmdzoom_plus, &QPushButton::clicked, this, [this] {
        withDisplay([this](const LiveDisplayContext& c) {
            display_.signal.zoomIn(c.picreal, c.block, c.sampleIndex);
        });
    });
    connect(Cmdzoom_minus, &QPushButton::clicked, this, [this] {
        withDisplay([this](const LiveDisplayContext& c) {
            display_.signal.zoomOut(c.picreal, c.block, c.sampleIndex);
        });
    });
    connect(Picreal, &SurfaceWidget::resized, this, [this] {
        withDisplay([this](const LiveDisplayContext& c) {
            display_.signal.drawAxes(c.picreal, c.block.RT_Buffer);
            if (s_.Acq_State != 0)
                display_.signal.redrawChannelSignal(c.picreal, c.block, c.sampleIndex);
        });
    });
}

// The tools column at the right edge: calibration, tools, and the place the
// temperature and light panels share.
void Frm_Main::buildToolColumn(QWidget* central) {
    auto* tools = named(new QWidget(central), "toolColumn");
    auto* tv = new QVBoxLayout(tools);
    tv->setContentsMargins(2, 2, 6, 2);
    tv->setSpacing(4);
    tv->addWidget(buildCalibrationFrame());
    tv->addWidget(buildToolsFrame());

    auto* panelPlace = named(new QWidget, "panelPlace");
    panelPlace->installEventFilter(this);
    panelPlace->setMinimumHeight(150);
    tv->addWidget(panelPlace, 1);

    buildTemperaturePanel(panelPlace);
    buildLightPanel(panelPlace);
}

// The calibration frame (frm_mn1).
QGroupBox* Frm_Main::buildCalibrationFrame() {
    frm_mn1 = named(new QGroupBox("Calibration"), "frm_mn1");
    auto* cv = new QVBoxLayout(frm_mn1);
    cv->setContentsMargins(4, 4, 4, 4);
    cv->setSpacing(3);
    Cmd_readblank = button("Cmd_readblank", "Read Blank");
    cmd_calibra = button("cmd_calibra", "Fast CALIB");
    Cmd_autozero = button("Cmd_autozero", "Fast ZERO");
    Cmd_readblank->setVisible(false);
    lbl_calstate = named(new QLabel("Auto Calibration and Auto Zero at Start"), "lbl_calstate");
    lbl_calstate->setWordWrap(true);
    cv->addWidget(lbl_calstate);
    cv->addWidget(Cmd_readblank);
    cv->addWidget(cmd_calibra);
    cv->addWidget(Cmd_autozero);

    connect(cmd_calibra, &QPushButton::clicked, this, [this] {
        run_.calibration().cmd_calibra_Click(txt_snr_umbral->text().toStdString());
        syncCalibration();
    });
    connect(Cmd_autozero, &QPushButton::clicked, this, [this] {
        run_.calibration().Cmd_autozero_Click(txt_snr_umbral->text().toStdString());
        syncCalibration();
    });
    connect(Cmd_readblank, &QPushButton::clicked, this, [this] {
        run_.calibration().Cmd_readblank_Click();
        syncCalibration();
        syncAcquisitionButtons();
    });
    return frm_mn1;
}

// The tools frame: bin size, organism, SNR threshold, body-bends mode.
QGroupBox* Frm_Main::buildToolsFrame() {
    Frame_tools = named(new QGroupBox("Tools"), "Frame_tools");
    auto* tg = new QGridLayout(Frame_tools);
    tg->setContentsMargins(4, 4, 4, 4);
    tg->setVerticalSpacing(3);
    combo_minutes = named(new QComboBox, "combo_minutes");
    combo_minutes->setEditable(true);
    combo_minutes->setToolTip("Report bin size (minutes)");
    cmb_organism = named(new QComboBox, "cmb_organism");
    lbl_snr = named(new QLabel(">>>>"), "lbl_snr");
    lbl_snr->setCursor(Qt::PointingHandCursor);
    lbl_snr->setToolTip("Show or hide the SNR threshold");
    lbl_snr->installEventFilter(this);
    txt_snr_umbral = box("txt_snr_umbral", "1.8");
    txt_snr_umbral->setMaximumWidth(48);
    txt_snr_umbral->setVisible(false);
    chk_bodybends = named(new QCheckBox("Body-Bends Mode (Experimental)"), "chk_bodybends");
    chk_bodybends->setVisible(false);
    tg->addWidget(caption("Bin (min)"), 0, 0);
    tg->addWidget(combo_minutes, 0, 1);
    tg->addWidget(cmb_organism, 1, 0, 1, 2);
    tg->addWidget(lbl_snr, 2, 0);
    tg->addWidget(txt_snr_umbral, 2, 1);
    tg->addWidget(chk_bodybends, 3, 0, 1, 2);
    tg->setColumnStretch(1, 1);

    connect(cmb_organism, QOverload<int>::of(&QComboBox::activated), this, [this](int i) {
        run_.cmb_organism_Click(i);
        syncRunControls();
    });
    connect(txt_snr_umbral, &QLineEdit::editingFinished, this, [this] {
        if (syncing_ || inBoxCheck_) return;
        inBoxCheck_ = true;
        run_.txt_snr_umbral_LostFocus(txt_snr_umbral->text().toStdString());
        inBoxCheck_ = false;
        syncRunControls();
    });
    connect(chk_bodybends, &QCheckBox::clicked, this, [this](bool ticked) {
        run_.chk_bodybends_Click(ticked);
        syncRunControls();
    });
    return Frame_tools;
}

// The temperature panel (Frame_temp).
void Frm_Main::buildTemperaturePanel(QWidget* panelPlace) {
    Frame_temp = named(new QGroupBox("Temperature", panelPlace), "Frame_temp");
    auto* tpg = new QGridLayout(Frame_temp);
    tpg->setContentsMargins(4, 4, 4, 4);
    tpg->setVerticalSpacing(3);
    cmd_ontemp = button("cmd_ontemp", "OFF", "Temperature element");
    shape_temp = named(new QFrame, "shape_temp");
    shape_temp->setFixedSize(18, 18);
    setIndicator(shape_temp, Indicator::White);
    cmd_frio = button("cmd_frio", "COOL", "Heat or cool");
    txttemp = box("txttemp", "20");
    txttemp->setMaximumWidth(52);
    Cmd_settemp = button("Cmd_settemp", "SET", "Use as set point");
    Chk_tenabled = named(new QCheckBox("Enabled"), "Chk_tenabled");
    cmd_nextwindows1 = button("cmd_nextwindows1", "Light >>", "Show the light panel");
    tpg->addWidget(cmd_ontemp, 0, 0);
    tpg->addWidget(shape_temp, 0, 1);
    tpg->addWidget(cmd_frio, 1, 0, 1, 2);
    auto* setRow = new QHBoxLayout;
    setRow->addWidget(txttemp);
    setRow->addWidget(caption("*C"));
    setRow->addWidget(Cmd_settemp);
    tpg->addLayout(setRow, 2, 0, 1, 2);
    tpg->addWidget(Chk_tenabled, 3, 0, 1, 2);
    tpg->setRowStretch(4, 1);
    tpg->addWidget(cmd_nextwindows1, 5, 0, 1, 2);
    Frame_temp->setVisible(false);

    connect(cmd_ontemp, &QPushButton::clicked, this, [this] {
        run_.panels().cmd_ontemp_Click();
        syncPanels();
    });
    connect(cmd_frio, &QPushButton::clicked, this, [this] {
        run_.panels().cmd_frio_Click();
        syncPanels();
    });
    connect(Cmd_settemp, &QPushButton::clicked, this, [this] {
        panelBoxLeft(txttemp);
        run_.panels().Cmd_settemp_Click();
        syncPanels();
    });
    connect(Chk_tenabled, &QCheckBox::clicked, this, [this](bool t) {
        run_.panels().Chk_tenabled_Click(t);
        syncPanels();
    });
    connect(txttemp, &QLineEdit::editingFinished, this, [this] { panelBoxLeft(txttemp); });
    // Brings the light panel to the front when it is shown.
    connect(cmd_nextwindows1, &QPushButton::clicked, this, [this] {
        if (lightShown_) lightInFront_ = true;
        showPanels();
    });
}

// The light panel (Frame_light) with its pulse frame.
void Frm_Main::buildLightPanel(QWidget* panelPlace) {
    Frame_light = named(new QGroupBox("Light Control", panelPlace), "Frame_light");
    auto* lg = new QGridLayout(Frame_light);
    lg->setContentsMargins(4, 4, 4, 4);
    lg->setVerticalSpacing(3);
    cmd_luz = button("cmd_luz", "OFF", "Light");
    shape_light = named(new QFrame, "shape_light");
    shape_light->setFixedSize(18, 18);
    setIndicator(shape_light, Indicator::Red);
    txt_lon = box("txt_lon", "09");
    txt_loff = box("txt_loff", "21");
    for (QLineEdit* e : {txt_lon, txt_loff})
        e->setMaximumWidth(40);
    Chk_lenabled = named(new QCheckBox("Enable"), "Chk_lenabled");
    cmd_cyclepulse = button("cmd_cyclepulse", "Cycle/Pulse");
    frm_pulse = named(new QFrame, "frm_pulse");
    frm_pulse->setFrameShape(QFrame::StyledPanel);
    auto* pg = new QGridLayout(frm_pulse);
    pg->setContentsMargins(3, 3, 3, 3);
    pg->setVerticalSpacing(2);
    txt_pulsetimes = box("txt_pulsetimes", "0");
    txt_pulseon = box("txt_pulseon", "1");
    txt_pulseoff = box("txt_pulseoff", "9");
    pg->addWidget(txt_pulsetimes, 0, 0);
    pg->addWidget(caption("times"), 0, 1);
    pg->addWidget(txt_pulseon, 1, 0);
    pg->addWidget(caption("min"), 1, 1);
    pg->addWidget(txt_pulseoff, 2, 0);
    pg->addWidget(caption("min"), 2, 1);
    frm_pulse->setVisible(false);
    cmd_nextwindows2 = button("cmd_nextwindows2", "Temp. >>", "Show the temperature panel");
    lg->addWidget(cmd_luz, 0, 0, 1, 3);
    lg->addWidget(shape_light, 0, 3);
    lg->addWidget(caption("ON"), 1, 0);
    lg->addWidget(txt_lon, 1, 1);
    lg->addWidget(caption("OFF"), 1, 2);
    lg->addWidget(txt_loff, 1, 3);
    lg->addWidget(Chk_lenabled, 2, 0, 1, 4);
    lg->addWidget(cmd_cyclepulse, 3, 0, 1, 4);
    lg->addWidget(frm_pulse, 4, 0, 1, 4);
    lg->setRowStretch(5, 1);
    lg->addWidget(cmd_nextwindows2, 6, 0, 1, 4);
    Frame_light->setVisible(false);

    connect(cmd_luz, &QPushButton::clicked, this, [this] {
        run_.panels().cmd_luz_Click();
        syncPanels();
    });
    connect(Chk_lenabled, &QCheckBox::clicked, this, [this](bool t) {
        run_.panels().Chk_lenabled_Click(t);
        syncPanels();
    });
    connect(cmd_cyclepulse, &QPushButton::clicked, this, [this] {
        run_.panels().cmd_cyclepulse_Click();
        syncPanels();
    });
    for (QLineEdit* e : {txt_lon, txt_loff, txt_pulsetimes, txt_pulseon, txt_pulseoff})
        connect(e, &QLineEdit::editingFinished, this, [this, e] { panelBoxLeft(e); });
    // Brings the temperature panel to the front when it is shown.
    connect(cmd_nextwindows2, &QPushButton::clicked, this, [this] {
        if (tempShown_) lightInFront_ = false;
        showPanels();
    });
}

// The bottom band: connection and acquisition commands, elapsed time,
// temperature and "<< Back".
void Frm_Main::buildBottomBand(QWidget* central) {
    auto* bottom = named(new QWidget(central), "bottomBand");
    auto* bg = new QGridLayout(bottom);
    bg->setContentsMargins(6, 2, 6, 4);
    bg->setHorizontalSpacing(6);
    bg->setVerticalSpacing(2);
    cmd_connect = button("cmd_connect", "Connect");
    Cmd_disconnect = button("Cmd_disconnect", "Disconnect");
    CmdPlay = button("CmdPlay", "Start Acquisition");
    CmdPause = button("CmdPause", "Pause");
    CmdPause->setEnabled(false);
    CmdStop = button("CmdStop", "Stop Acquisition");
    Cmdreport = button("Cmdreport", "Show my report");
    Cmdoffline = button("Cmdoffline", "<< Back");
    Cmdoffline->installEventFilter(this);
    QFont big = CmdPlay->font();
    big.setBold(true);
    CmdPlay->setFont(big);
    Txt_time = box("Txt_time", "00:00", true);
    Txt_time->setAlignment(Qt::AlignCenter);
    picturetime = named(new QProgressBar, "picturetime");
    picturetime->setRange(0, 1000);
    picturetime->setValue(0);
    picturetime->setTextVisible(false);
    picturetime->setMaximumHeight(12);
    lbl_temperature = named(new QLabel("T = __ \u00b0C"), "lbl_temperature");
    lbl_torun = named(new QLabel("Ready to run?"), "lbl_torun");
    lbl_autostart = named(new QLabel(""), "lbl_autostart");
    bg->addWidget(cmd_connect, 0, 0);
    bg->addWidget(Cmd_disconnect, 1, 0);
    bg->addWidget(lbl_torun, 0, 1);
    bg->addWidget(CmdPlay, 1, 1);
    bg->addWidget(CmdPause, 1, 2);
    bg->addWidget(CmdStop, 1, 3);
    bg->addWidget(lbl_autostart, 0, 2, 1, 3);
    bg->addWidget(Cmdreport, 1, 4);
    auto* elapsedRow = new QHBoxLayout;
    elapsedRow->addWidget(caption("Elapsed"));
    elapsedRow->addWidget(picturetime, 1);
    bg->addLayout(elapsedRow, 0, 5, 1, 2);
    bg->addWidget(Txt_time, 1, 5);
    bg->addWidget(lbl_temperature, 1, 6);
    bg->addWidget(Cmdoffline, 1, 7);
    bg->setColumnStretch(1, 3);
    bg->setColumnStretch(2, 2);
    bg->setColumnStretch(3, 3);
    bg->setColumnStretch(4, 3);
    bg->setColumnStretch(5, 2);
    bg->setColumnStretch(6, 2);
    bg->setColumnStretch(7, 2);

    connect(cmd_connect, &QPushButton::clicked, this, &Frm_Main::cmd_connect_Click);
    connect(Cmd_disconnect, &QPushButton::clicked, this, &Frm_Main::Cmd_disconnect_Click);
    connect(CmdPlay, &QPushButton::clicked, this, &Frm_Main::CmdPlay_Click);
    connect(CmdPause, &QPushButton::clicked, this, &Frm_Main::CmdPause_Click);
    connect(CmdStop, &QPushButton::clicked, this, &Frm_Main::CmdStop_Click);
    connect(Cmdreport, &QPushButton::clicked, this, &Frm_Main::Cmdreport_Click);
    connect(Cmdoffline, &QPushButton::clicked, this, &Frm_Main::Cmdoffline_Click);
}

// The status frame, floating over the plot area while something runs.
void Frm_Main::buildStatusFrame(QWidget* central) {
    Frame_status = named(new QFrame(central), "Frame_status");
    Frame_status->setFrameShape(QFrame::Panel);
    Frame_status->setFrameShadow(QFrame::Raised);
    Frame_status->setLineWidth(2);
    Frame_status->setAutoFillBackground(true);
    QPalette sp = Frame_status->palette();
    sp.setColor(QPalette::Window, QColor(255, 255, 225));
    Frame_status->setPalette(sp);
    auto* sv = new QVBoxLayout(Frame_status);
    sv->setContentsMargins(8, 6, 8, 6);
    lbl_autotext = named(new QLabel("<AUTOCALIBRATION>"), "lbl_autotext");
    QFont sf = lbl_autotext->font();
    sf.setBold(true);
    lbl_autotext->setFont(sf);
    lbl_autochannel = named(new QLabel("starting...."), "lbl_autochannel");
    picture_progress = named(new QProgressBar, "picture_progress");
    picture_progress->setTextVisible(false);
    picture_progress->setMaximumHeight(12);
    sv->addWidget(lbl_autotext);
    sv->addWidget(lbl_autochannel);
    sv->addWidget(picture_progress);
    Frame_status->setVisible(false);
    Frame_status->raise();
}

void Frm_Main::buildTimers() {
    Timeradq = named(new QTimer(this), "Timeradq");
    Timeradq->setInterval(30);
    Timerinicio = named(new QTimer(this), "Timerinicio");
    Timerinicio->setInterval(kStartupTimerMs);
    Timer_button = named(new QTimer(this), "Timer_button");
    Timer_button->setInterval(400);
    Timer_button->setSingleShot(true);
    connect(Timeradq, &QTimer::timeout, this, &Frm_Main::Timeradq_Timer);
    connect(Timerinicio, &QTimer::timeout, this, &Frm_Main::Timerinicio_Timer);
    connect(Timer_button, &QTimer::timeout, this, [this] { Cmdoffline->setStyleSheet(""); });
}

void Frm_Main::buildMenus() {
    mnfile = named(menuBar()->addMenu("File"), "mnfile");
    mnsettings = named(mnfile->addMenu("Settings"), "mnsettings");
    mncomports = named(mnsettings->addMenu(ComPortMenu::Caption), "mncomports");
    for (int n = 1; n <= kSearchPorts; ++n) {
        QAction* a = mncomports->addAction(q(ComPortMenu::entryText(n)));
        a->setObjectName(QString("mncom%1").arg(n));
        a->setCheckable(true);
        mncom[static_cast<size_t>(n - 1)] = a;
        connect(a, &QAction::triggered, this,
                [this, n] { comMenu_.choose(n, s_, [this] { saveConfig(s_, ports_.prompter); }); });
    }
    comMenu_.onChanged = [this] {
        for (int n = 1; n <= kSearchPorts; ++n)
            mncom[static_cast<size_t>(n - 1)]->setChecked(comMenu_.isChecked(n));
    };
    mnarena = named(mnsettings->addAction("Calibration Workbench"), "mnarena");
    connect(mnarena, &QAction::triggered, this, [this] {
        if (hooks.openWorkbench) hooks.openWorkbench();
    });

    mnadvanced = named(mnfile->addMenu("Advanced"), "mnadvanced");
    mnCalibra = named(mnadvanced->addMenu("Manual_Calibration"), "mnCalibra");
    mncal_on = named(mnCalibra->addAction("ON"), "mncal_on");
    mncal_off = named(mnCalibra->addAction("OFF"), "mncal_off");
    mncal_on->setCheckable(true);
    mncal_off->setCheckable(true);
    mncal_off->setChecked(true);
    connect(mncal_on, &QAction::triggered, this, [this] {
        run_.calibration().ManualCalibrationOn();
        syncCalibration();
    });
    connect(mncal_off, &QAction::triggered, this, [this] {
        run_.calibration().ManualCalibrationOff();
        syncCalibration();
    });
    mnautocal = named(mnadvanced->addAction("Auto   Calibration"), "mnautocal");
    mnautozero = named(mnadvanced->addAction("Auto   Zero"), "mnautozero");
    mnautocal->setCheckable(true);
    mnautozero->setCheckable(true);
    connect(mnautocal, &QAction::triggered, this, [this](bool on) {
        run_.calibration().AutoCalibration_Click(on);
        syncCalibration();
    });
    connect(mnautozero, &QAction::triggered, this, [this](bool on) {
        run_.calibration().AutoZero_Click(on);
        syncCalibration();
    });
    mn_userbin = named(mnadvanced->addAction("User Defined BIN size"), "mn_userbin");
    mn_userbin->setCheckable(true);
    connect(mn_userbin, &QAction::triggered, this, [this] {
        // The check follows the options dialog's Apply / Back to Default,
        // not the click itself.
        mn_userbin->setChecked(run_.switches().userBinSize);
        saveReportConfig(s_, run_.switches().userBinSize ? 1 : 0, ports_.prompter);
        if (hooks.openReportOptions) hooks.openReportOptions();
    });
    mn_factory = named(mnadvanced->addAction("Factory Settings"), "mn_factory");
    connect(mn_factory, &QAction::triggered, this, [this] {
        if (hooks.openFactory)
            hooks.openFactory();
        else
            ports_.prompter.show("Factory Settings are not part of this version");
    });
    mnmore = named(mnadvanced->addMenu("More..."), "mnmore");
    lght_ctl = named(mnmore->addAction("Light Control"), "lght_ctl");
    temp_ctl = named(mnmore->addAction("Temperature Control"), "temp_ctl");
    lght_ctl->setCheckable(true);
    temp_ctl->setCheckable(true);
    connect(lght_ctl, &QAction::triggered, this, [this] {
        run_.panels().lght_ctl_Click();
        syncPanels();
    });
    connect(temp_ctl, &QAction::triggered, this, [this] {
        run_.panels().temp_ctl_Click();
        syncPanels();
    });
    mnautorestart = named(mnmore->addAction("AutoRestart on ComError"), "mnautorestart");
    mnautorestart->setCheckable(true);
    connect(mnautorestart, &QAction::triggered, this, [this](bool on) {
        run_.setAutoRestart(on);
        lbl_autostart->setText(on ? " Auto-Restart Enabled" : "");
    });
    mnstatustest = named(mnmore->addAction("Test DEVICE"), "mnstatustest");
    connect(mnstatustest, &QAction::triggered, this, [this] {
        if (hooks.startDeviceTest)
            hooks.startDeviceTest();
        else
            ports_.prompter.show("Test DEVICE is not part of this version");
    });
    mnfile->addSeparator();
    mnexit = named(mnfile->addAction("Exit"), "mnexit");
    connect(mnexit, &QAction::triggered, this, &Frm_Main::mnexit_Click);

    mnhelp = named(menuBar()->addMenu("Help"), "mnhelp");
    mncontent = named(mnhelp->addAction("Content"), "mncontent");
    mnabout = named(mnhelp->addAction("About"), "mnabout");
    connect(mncontent, &QAction::triggered, this, &Frm_Main::mncontent_Click);
    connect(mnabout, &QAction::triggered, this, &Frm_Main::mnabout_Click);
}

void Frm_Main::bindStatus(QtStatusView& view) {
    view.bindText(status::StatusLine, lbl_autochannel);
    view.bindText(status::StatusCaption, lbl_autotext);
    view.bindVisible(status::StatusFrame, Frame_status);
    view.bindProgress(status::Progress, picture_progress);
    view.bindText(status::ElapsedTime, Txt_time);
    view.bindText(status::Temperature, lbl_temperature);
    view.bindProgress(status::TimeBar, picturetime);
    view.bindText(status::AcquisitionName, txt_subproject);
    view.bindText(status::BlankLabel, lblcalibrando);
    view.bindVisible(status::BlankLabel, lblcalibrando);
}

// --- Core objects -------------------------------------------------------------

template <typename F> void Frm_Main::withDisplay(F&& f) {
    LivePlotData data = runPlotData(run_);
    BlockArrays block = runBlockArrays(run_);
    LiveDisplayContext c{Picact->surface(), Picreal->surface(), data, block, run_.sampleIndex()};
    f(c);
    syncPickers();
}

void Frm_Main::wireRun() {
    RunHooks h;
    h.setTimer = [this](bool on) {
        if (on)
            Timeradq->start();
        else
            Timeradq->stop();
    };
    h.enableCmdPlay = [this](bool on) {
        CmdPlay->setEnabled(on);
        lbl_torun->setVisible(on);
    };
    h.enableCmdPause = [this](bool on) { CmdPause->setEnabled(on); };
    h.enableCmdsetup = [this](bool on) { Cmdsetup->setEnabled(on); };
    h.enableCmdoffline = [this](bool on) { Cmdoffline->setEnabled(on); };
    h.lockComments = [this](bool locked) { txt_description->setReadOnly(locked); };
    h.lockOrganism = [this](bool locked) {
        cmb_organism->setEnabled(!locked);
        txt_snr_umbral->setEnabled(!locked);
    };
    h.enableBodyBends = [this](bool on) { chk_bodybends->setEnabled(on); };
    h.commentsText = [this] { return txt_description->toPlainText().toStdString(); };
    h.stopTestTimer = [this] {
        if (hooks.stopDeviceTest) hooks.stopDeviceTest();
    };
    h.openSetup = [this] { Cmdsetup_Click(); };
    h.hideOtherWindows = [this] {
        if (hooks.hideOtherWindows) hooks.hideOtherWindows();
    };
    h.prepareLivePlot = [this] {
        withDisplay(
            [this](const LiveDisplayContext& c) { display_.plots.redraw(c.picact, c.data); });
    };
    h.acquisitionStarted = [this] {
        withDisplay([this](const LiveDisplayContext& c) {
            display_.acquisitionStarted(c);
            display_.plots.redraw(c.picact, c.data);
        });
    };
    h.blankStarted = [this] {
        withDisplay([this](const LiveDisplayContext& c) { display_.blankStarted(c); });
    };
    h.refreshSignalAfterStart = [this] {
        withDisplay([this](const LiveDisplayContext& c) {
            display_.signal.refreshAfterStart(c.picreal, c.block, c.sampleIndex);
        });
    };
    h.drawNewSamples = [this] {
        BlockArrays block = runBlockArrays(run_);
        display_.signal.drawNewSamples(Picreal->surface(), block, run_.sampleIndex(),
                                       run_.tickCount());
    };
    h.toggleTraceColour = [this] {
        display_.signal.traceColourFlag = !display_.signal.traceColourFlag;
    };
    h.refreshActivePlot = [this] {
        LivePlotData data = runPlotData(run_);
        display_.plots.refreshActivePlot(Picact->surface(), data);
        cmd_pgup->setVisible(display_.plots.pageButtonsVisible);
        cmd_pgdown->setVisible(display_.plots.pageButtonsVisible);
    };
    h.showReport = [this](bool autoreport) {
        // The report windows say "Activity file not Found" themselves when
        // the acquisition has no counts.
        std::string folder = run_.acquisitionPath();
        if (!folder.empty() && hooks.openReport)
            hooks.openReport(folder, combo_minutes->currentText().toStdString(), autoreport);
    };
    h.showMainWindow = [this] { show(); };
    h.quitProgram = [this] {
        closingDone_ = true;
        if (hooks.endProgram) hooks.endProgram(0);
    };
    h.showHistogramButton = [this](bool shown) { Cmd_histoplot->setVisible(shown); };

    run_.setHooks(std::move(h));

    run_.panels().onPanelChanged = [this] { syncPanels(); };
    run_.calibration().onControlsChanged = [this] { syncCalibration(); };
    run_.calibration().setCalibrationControlBox = [] {};
}

void Frm_Main::wireStartup() {
    StartupHooks h;
    h.startTimer = [this] { Timerinicio->start(); };
    h.stopTimer = [this] { Timerinicio->stop(); };
    h.showLauncher = [this](bool enabled) { showLauncher(enabled); };
    h.enableLauncher = [this] {
        if (hooks.enableLauncher) hooks.enableLauncher();
    };
    h.showTestDeviceEntry = [this] { mnstatustest->setVisible(true); };
    h.fillTools = [this] { fillTools(); };
    h.fillSettings = [this] { fillSettings(); };
    h.reportConfigLoaded = [this](bool user) { reportConfigLoaded(user); };
    h.fillPickers = [this] { fillPickers(); };
    h.displayDefaults = [this] { displayDefaults(); };
    h.showMainMaximized = [this] {
        if (hooks.hideLauncher) hooks.hideLauncher();
        showMaximized();
    };
    h.connect = [this] { connectNow(startup_.runSwitch); };
    h.showMain = [this] { show(); };
    h.play = [this](const std::string&) {
        run_.setRunSwitch(true);
        CmdPlay_Click();
        if (closeWhenUnattendedRunEnds && s_.Acq_State == 0) {
            // Nobody is there to see why; say it and end.
            std::fprintf(stderr, "trelvane: the unattended acquisition could not start\n");
            closeWhenUnattendedRunEnds = false;
            QTimer::singleShot(0, this, [this] {
                closingDone_ = true;
                Disconnect(s_);
                if (hooks.endProgram) hooks.endProgram(1);
            });
        }
    };
    h.closePort = [this] { Disconnect(s_); };
    h.endProgram = [this](int code) {
        closingDone_ = true;
        if (hooks.endProgram) hooks.endProgram(code);
    };
    startup_.hooks = std::move(h);
}

bool Frm_Main::load(const std::string& commandLine) {
    bool ok = startup_.load(commandLine);
    run_.setRunSwitch(startup_.runSwitch);
    return ok;
}

void Frm_Main::showLauncher(bool enabled) {
    if (hooks.showLauncher) hooks.showLauncher(enabled);
    hide();
}

// --- Start-up filling ---------------------------------------------------------

void Frm_Main::fillTools() {
    frm_mn1->setVisible(s_.setup.Menu1 != 0);
    cmb_organism->clear();
    for (const std::string& o : organismChoices())
        cmb_organism->addItem(q(o));
    RunControls controls = run_.controls();
    controls.txt_snr_umbral = snrBoxText(s_.setup.SNRx10());
    run_.setControls(controls);
    run_.FillControls();
    syncRunControls();
    syncPanels();
    syncCalibration();
}

void Frm_Main::fillSettings() {
    syncCalibration();
    syncPanels();
    combo_minutes->clear();
    for (const std::string& m : lapseChoices())
        combo_minutes->addItem(q(m));
    fillHeader();
}

void Frm_Main::reportConfigLoaded(bool userDefined) {
    run_.setUserBinSize(userDefined);
    mn_userbin->setChecked(userDefined);
    combo_minutes->setCurrentText(QString::number(s_.report.Bin));
}

void Frm_Main::fillPickers() {
    {
        QSignalBlocker b1(combogrup), b2(Combofila), b3(Combocol);
        combogrup->clear();
        for (const std::string& e : groupPickerEntries(s_.channels))
            combogrup->addItem(q(e));
        Combofila->clear();
        for (int r = 0; r < s_.plate.Plate_Rows; ++r)
            Combofila->addItem(QString(QChar('A' + r)));
        Combocol->clear();
        for (int c = 1; c <= s_.plate.Plate_Columns; ++c)
            Combocol->addItem(QString::number(c));
    }
    // Keep the selected position inside the plate.
    withDisplay(
        [this](const LiveDisplayContext& c) { display_.rowChosen(display_.signal.rowLetter, c); });
    txt_subproject->setText(q(defaultAcquisitionName(s_)));
}

void Frm_Main::displayDefaults() {
    display_.signal.clearZoomReferences();
    display_.signal.zoomLevel = 0;
    CmdPause->setEnabled(false);
    picturetime->setValue(0);
    withDisplay([this](const LiveDisplayContext& c) { display_.layoutChanged(c); });
}

void Frm_Main::fillHeader() {
    txt_projecto->setText(
        QString("%1_%2").arg(s_.config.Actual_Project_Number).arg(q(s_.setup.Name)));
    txt_acqlapse->setText(QString::number(s_.setup.Aq_lapse));
    txt_wellformat->setText(q(plateFormatCaption(s_.setup.Plate_format)));
    txt_detection->setText(q(detectionText(s_.setup)));
}

// --- Copying core state into the controls --------------------------------------

void Frm_Main::syncPickers() {
    syncing_ = true;
    const SignalView& sv = display_.signal;
    {
        QSignalBlocker b1(Combofila), b2(Combocol);
        Combofila->setCurrentText(q(sv.rowLetter));
        Combocol->setCurrentText(QString::number(sv.column));
    }
    setTextQuietly(txtsub, sv.beamText);
    lblcanal->setText(QString("Channel: %1").arg(sv.selectedChannel));
    bool sameList = lstgrup->count() == static_cast<int>(sv.members.size());
    for (int i = 0; sameList && i < lstgrup->count(); ++i)
        sameList = lstgrup->item(i)->text() == q(sv.members[static_cast<size_t>(i)].label);
    if (!sameList) {
        lstgrup->clear();
        for (const auto& m : sv.members)
            lstgrup->addItem(q(m.label));
    }
    lstgrup->setCurrentRow(sv.memberIndex);
    setTextQuietly(txtbeam, sv.currentMember);
    setTextQuietly(txtzoom, std::to_string(sv.zoomLevel));
    cmd_pgup->setVisible(display_.plots.pageButtonsVisible);
    cmd_pgdown->setVisible(display_.plots.pageButtonsVisible);
    syncing_ = false;
}

void Frm_Main::syncRunControls() {
    syncing_ = true;
    const RunControls& c = run_.controls();
    {
        QSignalBlocker b(cmb_organism);
        // The box text of a stored organism may differ from its list entry
        // in case only ("Zebrafish(larvae)").
        int index = cmb_organism->findText(q(c.organismText), Qt::MatchFixedString);
        if (index >= 0) {
            cmb_organism->setEditable(false);
            cmb_organism->setCurrentIndex(index);
        } else {
            // A stored organism the list does not offer keeps its own text.
            cmb_organism->setEditable(true);
            cmb_organism->setEditText(q(c.organismText));
        }
    }
    setTextQuietly(txt_snr_umbral, c.txt_snr_umbral);
    txt_snr_umbral->setVisible(c.snrBoxVisible);
    lbl_snr->setText(q(c.snrLabel));
    {
        QSignalBlocker b(chk_bodybends);
        chk_bodybends->setChecked(c.chk_bodybends);
    }
    chk_bodybends->setVisible(c.bodyBendsVisible);
    chk_bodybends->setEnabled(c.bodyBendsEnabled);
    syncing_ = false;
}

void Frm_Main::syncPanels() {
    syncing_ = true;
    const TemperatureLight& p = run_.panels();
    cmd_luz->setText(q(p.look.cmd_luz));
    setIndicator(shape_light, p.look.shape_light);
    cmd_frio->setText(q(p.look.cmd_frio));
    cmd_ontemp->setText(q(p.look.cmd_ontemp));
    setIndicator(shape_temp, p.look.shape_temp);
    setTextQuietly(txt_lon, p.boxes.txt_lon);
    setTextQuietly(txt_loff, p.boxes.txt_loff);
    setTextQuietly(txt_pulsetimes, p.boxes.txt_pulsetimes);
    setTextQuietly(txt_pulseon, p.boxes.txt_pulseon);
    setTextQuietly(txt_pulseoff, p.boxes.txt_pulseoff);
    setTextQuietly(txttemp, p.boxes.txttemp);
    txt_lon->setEnabled(p.boxes.hourBoxesEnabled);
    txt_loff->setEnabled(p.boxes.hourBoxesEnabled);
    frm_pulse->setVisible(p.boxes.frm_pulse);
    {
        QSignalBlocker b1(Chk_lenabled), b2(Chk_tenabled);
        Chk_lenabled->setChecked(p.boxes.Chk_lenabled);
        Chk_tenabled->setChecked(p.boxes.Chk_tenabled);
    }
    // The two panels share one place: a panel that has just been shown comes
    // to the front, and only the front one is drawn.
    if (p.boxes.Frame_light && !lightShown_) lightInFront_ = true;
    if (p.boxes.Frame_temp && !tempShown_) lightInFront_ = false;
    lightShown_ = p.boxes.Frame_light;
    tempShown_ = p.boxes.Frame_temp;
    showPanels();
    cmd_nextwindows1->setEnabled(p.boxes.Frame_light);
    cmd_nextwindows2->setEnabled(p.boxes.Frame_temp);
    lght_ctl->setChecked(p.boxes.Frame_light);
    temp_ctl->setChecked(p.boxes.Frame_temp);
    syncing_ = false;
}

QWidget* Frm_Main::frontPanel() const {
    if (Frame_light->isVisibleTo(Frame_light->parentWidget())) return Frame_light;
    if (Frame_temp->isVisibleTo(Frame_temp->parentWidget())) return Frame_temp;
    return nullptr;
}

void Frm_Main::showPanels() {
    const bool lightDrawn = lightShown_ && (lightInFront_ || !tempShown_);
    const bool tempDrawn = tempShown_ && !lightDrawn;
    Frame_light->setVisible(lightDrawn);
    Frame_temp->setVisible(tempDrawn);
}

void Frm_Main::syncCalibration() {
    const CalibrationControls& c = run_.calibration().controls;
    cmd_calibra->setVisible(c.cmd_calibra);
    Cmd_autozero->setVisible(c.Cmd_autozero);
    Cmd_readblank->setVisible(c.Cmd_readblank);
    // With both switches on and no manual calibration no button is offered;
    // say what happens instead of showing an empty frame.
    lbl_calstate->setVisible(!c.cmd_calibra && !c.Cmd_autozero && !c.Cmd_readblank);
    mnautocal->setEnabled(c.autoCalibrationEnabled);
    mnautozero->setEnabled(c.autoZeroEnabled);
    mnautocal->setChecked(run_.switches().autoCalibration);
    mnautozero->setChecked(run_.switches().autoZero);
    mncal_on->setChecked(c.manualOn);
    mncal_off->setChecked(c.manualOff);
}

void Frm_Main::syncAcquisitionButtons() {
    lbl_torun->setVisible(s_.Acq_State == 0 && CmdPlay->isEnabled());
    // The connection cannot change under a running acquisition.
    cmd_connect->setEnabled(s_.Acq_State == 0);
    Cmd_disconnect->setEnabled(s_.Acq_State == 0);
}

bool Frm_Main::askBeforeEndingRun() const {
    return run_.acquisitionRunning() && !run_.runSwitch() && !headless;
}

void Frm_Main::panelBoxLeft(QLineEdit* e) {
    if (syncing_ || inBoxCheck_) return;
    inBoxCheck_ = true; // a refused value's message takes the focus
    std::string text = e->text().toStdString();
    TemperatureLight& p = run_.panels();
    if (e == txt_lon)
        p.txt_lon_LostFocus(text);
    else if (e == txt_loff)
        p.txt_loff_LostFocus(text);
    else if (e == txt_pulsetimes)
        p.txt_pulsetimes_LostFocus(text);
    else if (e == txt_pulseon)
        p.txt_pulseon_LostFocus(text);
    else if (e == txt_pulseoff)
        p.txt_pulseoff_LostFocus(text);
    else if (e == txttemp)
        p.txttemp_LostFocus(text);
    inBoxCheck_ = false;
    syncPanels();
}

// --- From the setup window ----------------------------------------------------

void Frm_Main::applyDetectionSummary(const DetectionSummary& d) {
    txt_detection->setText(q(d.detection));
    RunControls c = run_.controls();
    c.txt_snr_umbral = d.snr;
    run_.setSnr(leadingNumber(commaAsPoint(d.snr)));
    if (d.organism >= 0 && d.organism < static_cast<int>(organismChoices().size())) {
        // Selected as the setup window left it, without the list's preset
        // overwriting the SNR just handed over.
        c.cmb_organism = d.organism;
        c.organismText = organismChoices()[static_cast<size_t>(d.organism)];
    }
    run_.setControls(c);
    syncRunControls();
}

void Frm_Main::setNotes(const std::string& notes) {
    txt_description->setPlainText(q(notes));
}

void Frm_Main::showTool(MainTool tool, bool shown) {
    TemperatureLight& p = run_.panels();
    switch (tool) {
    case MainTool::Calibration:
        frm_mn1->setVisible(shown);
        return;
    case MainTool::Light:
        p.boxes.Frame_light = shown;
        p.boxes.frm_pulse = shown;
        p.Chk_lenabled_Click(shown);
        break;
    case MainTool::Temperature:
        p.boxes.Frame_temp = shown;
        break;
    }
    syncPanels();
}

// --- Commands -----------------------------------------------------------------

void Frm_Main::connectNow(bool runSwitch) {
    ConnectionHooks ch;
    ch.saveConfig = [this] { saveConfig(s_, ports_.prompter); };
    ch.showLauncher = [this] { showLauncher(true); };
    ch.startRunTimer = [this] { startup_.startRunStep(); };
    Connect(s_, ports_, comMenu_, ch, runSwitch);
}

void Frm_Main::cmd_connect_Click() {
    if (s_.Acq_State != 0) return;
    connectNow(run_.runSwitch());
}

void Frm_Main::Cmd_disconnect_Click() {
    if (s_.Acq_State != 0) return;
    Disconnect(s_);
    ports_.status.setText(status::StatusLine, "");
}

void Frm_Main::CmdPlay_Click() {
    run_.Play();
    syncAcquisitionButtons();
    syncRunControls();
}

void Frm_Main::CmdPause_Click() {
    run_.Pause();
    syncAcquisitionButtons();
}

void Frm_Main::CmdStop_Click() {
    if (askBeforeEndingRun() && !ports_.prompter.askYesNo("Stop the running acquisition?")) return;
    run_.Stop();
    startup_.forgetRunSwitch();
    syncAcquisitionButtons();
    syncRunControls();
}

void Frm_Main::Cmdreport_Click() {
    std::string folder = run_.acquisitionPath();
    if (folder.empty() || !fileExists(countsFilePath(folder))) {
        ports_.prompter.show("Activity file not Found");
        return;
    }
    if (hooks.openReport)
        hooks.openReport(folder, combo_minutes->currentText().toStdString(), false);
}

void Frm_Main::Cmdsetup_Click() {
    if (hooks.setupNotes) hooks.setupNotes(txt_description->toPlainText().toStdString());
    // The hook shows the setup window and hides this one.
    if (hooks.openSetup) hooks.openSetup();
}

void Frm_Main::Cmdoffline_Click() {
    if (hooks.setupNotes) hooks.setupNotes(txt_description->toPlainText().toStdString());
    showLauncher(true);
}

void Frm_Main::mnexit_Click() {
    close();
}

void Frm_Main::mncontent_Click() {
    // The help document lives in the program folder; when nothing can show
    // it, the user learns where it is.
    openForUser(ports_.desktop, ports_.prompter, joinPath(s_.Program_Folder, "trv_help.pdf"));
}

void Frm_Main::mnabout_Click() {
    if (hooks.openAbout) hooks.openAbout();
}

bool Frm_Main::closing() {
    if (closingDone_) return true;
    if (askBeforeEndingRun() &&
        ports_.prompter.message("An acquisition is running. Stop it and exit the program?",
                                Buttons::OkCancel) != Answer::Ok)
        return false;
    closingDone_ = true;
    Timeradq->stop();
    Timerinicio->stop();
    // An acquisition still running is stopped first, so the light and the
    // temperature element are switched off before the port closes.
    if (s_.Acq_State != 0) run_.Stop();
    startup_.closing();
    if (hooks.endProgram) hooks.endProgram(0);
    return true;
}

void Frm_Main::closeEvent(QCloseEvent* e) {
    if (closing())
        e->accept();
    else
        e->ignore();
}

// --- Timers -------------------------------------------------------------------

void Frm_Main::Timeradq_Timer() {
    run_.AcquisitionTick();
    if (!run_.runSwitch()) startup_.forgetRunSwitch();
    // The run may have ended in the tick (lapse, blank session).
    if (s_.Acq_State == 0) syncAcquisitionButtons();
    if (run_.finished() && s_.Acq_State == 0 && !Timeradq->isActive()) {
        if (closeWhenUnattendedRunEnds) lapseEndedUnattended();
    }
}

void Frm_Main::lapseEndedUnattended() {
    closeWhenUnattendedRunEnds = false;
    std::printf("trelvane: %s\n", run_.finishedLine().c_str());
    std::fflush(stdout);
    QTimer::singleShot(0, this, [this] { close(); });
}

void Frm_Main::Timerinicio_Timer() {
    startup_.timerTick();
}

// --- Window events ------------------------------------------------------------

void Frm_Main::activationRefresh() {
    if (s_.Acq_State != 0) return;
    try {
        txt_subproject->setText(q(defaultAcquisitionName(s_)));
        fillHeader();
        run_.ActivationRefresh();
        syncRunControls();
        syncPanels();
        display_.signal.clearZoomReferences();
        fillPickers();
        withDisplay([this](const LiveDisplayContext& c) { display_.layoutChanged(c); });
    } catch (const std::exception&) {
        ports_.prompter.show("Error loading parameters");
    }
}

bool Frm_Main::event(QEvent* e) {
    // The window becomes the active one of the program when another window
    // of the program (launcher, setup, offline) hands over to it, and they
    // hide themselves and show it. Closing a message box or dialog over it
    // does not count: the plots of an acquisition just finished stay.
    if (e->type() == QEvent::Show && !e->spontaneous()) activationRefresh();
    return QMainWindow::event(e);
}

void Frm_Main::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    layoutControls();
}

void Frm_Main::layoutControls() {
    QWidget* central = centralWidget();
    if (!central) return;
    const int W = central->width(), H = central->height();
    const int headerH = clampInt(0.15 * H, 104, 150);
    const int bottomH = clampInt(0.10 * H, 64, 84);
    const int bodyTop = headerH, bodyH = std::max(100, H - headerH - bottomH);
    const int plotW = static_cast<int>(0.60 * W);
    const int signalW = static_cast<int>(0.235 * W);
    const int toolsW = W - plotW - signalW;

    central->findChild<QWidget*>("headerBand")->setGeometry(0, 0, W, headerH);
    central->findChild<QWidget*>("plotArea")->setGeometry(0, bodyTop, plotW, bodyH);
    Framereal->setGeometry(plotW, bodyTop, signalW, bodyH);
    central->findChild<QWidget*>("toolColumn")
        ->setGeometry(plotW + signalW, bodyTop, toolsW, bodyH);
    central->findChild<QWidget*>("bottomBand")
        ->setGeometry(0, bodyTop + bodyH, W, H - bodyTop - bodyH);

    // The status frame floats over the top of the plot area.
    const int sw = std::min(380, plotW - 40), sh = 86;
    Frame_status->setGeometry((plotW - sw) / 2, bodyTop + 40, sw, sh);
    Frame_status->raise();
    // The surfaces redraw their axes and contents when their size changes
    // (SurfaceWidget::resized).
}

bool Frm_Main::eventFilter(QObject* watched, QEvent* e) {
    if (watched->objectName() == "panelPlace" && e->type() == QEvent::Resize) {
        auto* place = static_cast<QWidget*>(watched);
        Frame_temp->setGeometry(0, 0, place->width(), place->height());
        Frame_light->setGeometry(0, 0, place->width(), place->height());
    } else if (watched == lbl_snr && e->type() == QEvent::MouseButtonRelease) {
        if (lbl_snr->isEnabled() && cmb_organism->isEnabled()) {
            run_.lbl_snr_Click();
            syncRunControls();
        }
        return true;
    } else if (watched == Cmdoffline && e->type() == QEvent::Enter) {
        // The "<< Back" highlight lasts until Timer_button ticks.
        Cmdoffline->setStyleSheet("background-color: #ffff99;");
        Timer_button->start();
    } else if (watched == lstgrup && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
            lstgrup->currentRow() >= 0) {
            int row = lstgrup->currentRow();
            withDisplay([&](const LiveDisplayContext& c) { display_.memberChosen(row, c); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

} // namespace trv
