#include "setup/Frm_setup.h"

#include "display/NamedWidgetQt.h"
#include "display/SurfaceQt.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace trv {

namespace {

std::string ss(const QString& s) { return s.toStdString(); }

QLabel* caption(const char* text, QWidget* parent) { return new QLabel(QString::fromUtf8(text), parent); }

MouseButton buttonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return MouseButton::None;
    }
}

// Selects an entry by index; anything outside the list shows nothing.
void selectIndex(QComboBox* box, int index) {
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

void fillList(QListWidget* list, const std::vector<std::string>& entries, int current) {
    if (list->count() == static_cast<int>(entries.size())) {
        for (int i = 0; i < list->count(); ++i) {
            QString text = q(entries[static_cast<size_t>(i)]);
            if (list->item(i)->text() != text) list->item(i)->setText(text);
        }
    } else {
        list->clear();
        for (const auto& e : entries) list->addItem(q(e));
    }
    if (current >= 0 && current < list->count()) {
        if (list->currentRow() != current) list->setCurrentRow(current);
    } else if (current < 0) {
        list->setCurrentRow(-1);
    }
}

// Sets a text box only when its text differs, so the cursor of a box being
// typed in stays where it is.
void setText(QLineEdit* box, const std::string& text) {
    if (box->text() != q(text)) box->setText(q(text));
}

} // namespace

void Frm_setup::Status::setText(const std::string& target, const std::string& text) {
    if (target == status::SetupWell && window_.lblnchannel) window_.lblnchannel->setText(q(text));
    outer_.setText(target, text);
}

Frm_setup::Frm_setup(SharedState& state, Ports& ports, SetupHooks hooks, QWidget* parent)
    : QWidget(parent),
      status_(ports.status, *this),
      ports_{ports.prompter, ports.clock, ports.pump, ports.desktop, ports.locale, status_} {
    setObjectName(QStringLiteral("Frm_setup"));
    setWindowTitle(QStringLiteral("Experiment setup"));
    build();
    model_ = std::make_unique<SetupModel>(state, ports_, Picwell->surface(), std::move(hooks));
    wire();
}

Frm_setup::~Frm_setup() {
    // Closing the window moves the focus, and a box losing it would call into
    // the model, which goes first.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

void Frm_setup::build() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 4, 8, 8);
    root->setMenuBar(buildMenuBar());

    auto* columns = new QHBoxLayout;
    root->addLayout(columns, 1);
    columns->addWidget(buildProjectArea());
    columns->addWidget(buildPlate(), 1);
    columns->addWidget(buildGroupLists());
    columns->addWidget(buildAcquisitionSettings());
    root->addLayout(buildWaysOut());
    buildProjectList();

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setSingleShot(true);
    Timer1->setInterval(20);
}

QMenuBar* Frm_setup::buildMenuBar() {
    auto* menuBar = new QMenuBar(this);
    QMenu* tools = menuBar->addMenu(QStringLiteral("Tools"));
    mn_advanced = named(tools->addAction(QStringLiteral("Advanced Tools")), "mn_advanced");
    return menuBar;
}

// The project area and the notes.
QWidget* Frm_setup::buildProjectArea() {
    auto* left = new QVBoxLayout;
    auto* project = new QGroupBox(QStringLiteral("Project"), this);
    auto* pl = new QGridLayout(project);
    txtprj = named(new QLineEdit(project), "txtprj");
    txtprj->setReadOnly(true);
    txtprj->setToolTip(QStringLiteral("DblClick to Rename"));
    txtprj->installEventFilter(this);
    Txtfolder = named(new QLineEdit(project), "Txtfolder");
    Txtfolder->setReadOnly(true);
    Cmdnewpj = named(new QPushButton(QStringLiteral("New..."), project), "Cmdnewpj");
    Cmdsavepj = named(new QPushButton(QStringLiteral("Save..."), project), "Cmdsavepj");
    cmdLoad = named(new QPushButton(QStringLiteral("Load..."), project), "cmdLoad");
    pl->addWidget(caption("Project:", project), 0, 0, 1, 3);
    pl->addWidget(txtprj, 1, 0, 1, 3);
    pl->addWidget(caption("Folder:", project), 2, 0, 1, 3);
    pl->addWidget(Txtfolder, 3, 0, 1, 3);
    pl->addWidget(Cmdnewpj, 4, 0);
    pl->addWidget(Cmdsavepj, 4, 1);
    pl->addWidget(cmdLoad, 4, 2);
    left->addWidget(project);
    left->addWidget(caption("Notes:", this));
    Txt_description = named(new QPlainTextEdit(this), "Txt_description");
    left->addWidget(Txt_description, 1);
    auto* leftBox = new QWidget(this);
    leftBox->setLayout(left);
    left->setContentsMargins(0, 0, 0, 0);
    leftBox->setFixedWidth(220);
    return leftBox;
}

// The plate with its format, the well under the mouse, CLEAR and
// AUTO-ARRANGE with its menu of block sizes.
QWidget* Frm_setup::buildPlate() {
    auto* plate = new QGroupBox(QStringLiteral("Plate"), this);
    plate->setObjectName(QStringLiteral("Frame_plate"));
    auto* pv = new QVBoxLayout(plate);
    auto* plateRow = new QHBoxLayout;
    plateRow->addWidget(caption("Plate format:", plate));
    Combowell = named(new QComboBox(plate), "Combowell");
    Combowell->setMinimumWidth(110);
    plateRow->addWidget(Combowell);
    plateRow->addSpacing(16);
    plateRow->addWidget(caption("Well:", plate));
    lblnchannel = named(new QLabel(plate), "lblnchannel");
    lblnchannel->setMinimumWidth(50);
    plateRow->addWidget(lblnchannel);
    plateRow->addStretch(1);
    pv->addLayout(plateRow);
    Picwell = named(new SurfaceWidget(plate), "Picwell");
    Picwell->setToolTip(QStringLiteral("Click wells to assign/remove groups"));
    Picwell->setMouseTracking(true);
    Picwell->setMinimumSize(480, 340);
    Picwell->installEventFilter(this);
    pv->addWidget(Picwell, 1);
    auto* arrangeRow = new QHBoxLayout;
    Cmd_clear = named(new QPushButton(QStringLiteral("CLEAR"), plate), "Cmd_clear");
    cmd_goset = named(new QPushButton(QStringLiteral("AUTO-ARRANGE"), plate), "cmd_goset");
    mngroup = named(new QMenu(this), "mngroup");
    for (int i = 0; i < kBlockMenuEntries; ++i) {
        QAction* a = named(mngroup->addAction(QString()), "mnopciongrup");
        a->setCheckable(true);
        a->setData(i);
        a->setVisible(false);
        mnopciongrup.append(a);
    }
    arrangeRow->addWidget(Cmd_clear);
    arrangeRow->addWidget(cmd_goset);
    arrangeRow->addStretch(1);
    pv->addLayout(arrangeRow);
    // The block sizes the menu shows; kept out of sight.
    Frame_sets = named(new QGroupBox(QStringLiteral("old configurations"), plate), "Frame_sets");
    auto* fs = new QHBoxLayout(Frame_sets);
    Combo_sets = named(new QComboBox(Frame_sets), "Combo_sets");
    fs->addWidget(Combo_sets);
    Frame_sets->hide();
    return plate;
}

// The groups and their assigned and free channels.
QWidget* Frm_setup::buildGroupLists() {
    auto* groups = new QVBoxLayout;
    groups->addWidget(caption("Groups:", this));
    combogrup = named(new QListWidget(this), "combogrup");
    combogrup->setToolTip(QStringLiteral("Dblclick to Rename"));
    combogrup->installEventFilter(this);
    groups->addWidget(combogrup, 3);
    groups->addWidget(caption("Assigned channels:", this));
    lstgrup = named(new QListWidget(this), "lstgrup");
    groups->addWidget(lstgrup, 2);
    groups->addWidget(caption("Free channels:", this));
    lstchgrup = named(new QListWidget(this), "lstchgrup");
    groups->addWidget(lstchgrup, 2);
    auto* groupBox = new QWidget(this);
    groupBox->setLayout(groups);
    groups->setContentsMargins(0, 0, 0, 0);
    groupBox->setFixedWidth(160);
    return groupBox;
}

// The acquisition and detection settings, with the advanced frame.
QWidget* Frm_setup::buildAcquisitionSettings() {
    auto* acq = new QGroupBox(QStringLiteral("Acquisition"), this);
    auto* ag = new QGridLayout(acq);
    int row = 0;
    Cmb_organism = named(new QComboBox(acq), "Cmb_organism");
    ag->addWidget(caption("organism", acq), row, 0);
    ag->addWidget(Cmb_organism, row++, 1, 1, 2);
    ag->addWidget(buildDetection(acq), row++, 0, 1, 3);

    auto addField = [&](const char* label, QWidget* field, const char* unit) {
        ag->addWidget(caption(label, acq), row, 0);
        ag->addWidget(field, row, 1);
        if (unit) ag->addWidget(caption(unit, acq), row, 2);
        ++row;
    };
    Txtlapse = named(new QLineEdit(acq), "Txtlapse");
    addField("Acquisition lapse:", Txtlapse, "min");
    Combo_aqmode = named(new QComboBox(acq), "Combo_aqmode");
    addField("Acq Mode:", Combo_aqmode, nullptr);
    Txtsample = named(new QLineEdit(acq), "Txtsample");
    addField("Sample rate:", Txtsample, "/sec");
    Txt_dspinterval = named(new QLineEdit(acq), "Txt_dspinterval");
    addField("DSP Interval:", Txt_dspinterval, nullptr);
    Txtbuffer = named(new QLineEdit(acq), "Txtbuffer");
    addField("Real-time Buffer:", Txtbuffer, "bytes");
    Combosavecount = named(new QComboBox(acq), "Combosavecount");
    addField("Save Counts/minute", Combosavecount, nullptr);
    Combosavecount->setMaximumWidth(80);
    for (QLineEdit* e : {Txtlapse, Txtsample, Txt_dspinterval, Txtbuffer}) e->setMaximumWidth(80);

    chkcalib = named(new QCheckBox(QStringLiteral("Calibration Control"), acq), "chkcalib");
    ag->addWidget(chkcalib, row++, 0, 1, 3);
    Chk_mn4 = named(new QCheckBox(QStringLiteral("Menu 4"), acq), "Chk_mn4");
    Chk_mn5 = named(new QCheckBox(QStringLiteral("Menu 5"), acq), "Chk_mn5");
    Chk_mn6 = named(new QCheckBox(QStringLiteral("Menu 6"), acq), "Chk_mn6");
    auto* menus = new QHBoxLayout;
    for (QCheckBox* c : {Chk_mn4, Chk_mn5, Chk_mn6}) {
        c->setEnabled(false); // spare switches: shown only
        menus->addWidget(c);
    }
    ag->addLayout(menus, row++, 0, 1, 3);

    cmd_advanced = named(new QPushButton(QString::fromUtf8(kAdvancedHidden), acq), "cmd_advanced");
    ag->addWidget(cmd_advanced, row++, 0, 1, 3);
    ag->addWidget(buildAdvanced(acq), row++, 0, 1, 3);
    ag->setRowStretch(row, 1);
    ag->setColumnStretch(1, 1);
    acq->setFixedWidth(320);

    fillCombo(Cmb_organism, organismNames());
    fillCombo(Combo_aqmode, aqModeNames());
    fillCombo(Combosavecount, noYes());
    return acq;
}

// The detection mode and the SNR threshold.
QWidget* Frm_setup::buildDetection(QWidget* acq) {
    auto* detection = new QGroupBox(QStringLiteral("Detection algorithm"), acq);
    detection->setObjectName(QStringLiteral("Frame_detection"));
    auto* dg = new QGridLayout(detection);
    ComboDSP = named(new QComboBox(detection), "ComboDSP");
    ComboDSP->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboDSP->setMinimumContentsLength(20);
    lbl_snr = named(new QLineEdit(detection), "lbl_snr");
    lbl_snr->setToolTip(QStringLiteral("Double click to enable edition"));
    lbl_snr->setMaximumWidth(60);
    lbl_snr->installEventFilter(this);
    // A disabled box gets no mouse events: its frame sees the double click.
    detection->installEventFilter(this);
    dg->addWidget(caption("Mode:", detection), 0, 0, 1, 3);
    dg->addWidget(ComboDSP, 1, 0, 1, 3);
    dg->addWidget(caption("SNR", detection), 2, 0);
    dg->addWidget(lbl_snr, 2, 1);
    dg->setColumnStretch(2, 1);
    fillCombo(ComboDSP, dspMethodNames());
    return detection;
}

// The advanced frame: light and temperature control, saving real-time data.
QWidget* Frm_setup::buildAdvanced(QWidget* acq) {
    Frame_advanced = named(new QGroupBox(acq), "Frame_advanced");
    auto* fa = new QGridLayout(Frame_advanced);
    chklight = named(new QCheckBox(QStringLiteral("Light Control*"), Frame_advanced), "chklight");
    chktemp = named(new QCheckBox(QStringLiteral("Temperature Control*"), Frame_advanced), "chktemp");
    Combosavereal = named(new QComboBox(Frame_advanced), "Combosavereal");
    fa->addWidget(chklight, 0, 0, 1, 2);
    fa->addWidget(chktemp, 1, 0, 1, 2);
    fa->addWidget(caption("Save Real-Time Data", Frame_advanced), 2, 0);
    fa->addWidget(Combosavereal, 2, 1);
    auto* note = caption("*Available only in some Hardware versions!", Frame_advanced);
    note->setWordWrap(true);
    fa->addWidget(note, 3, 0, 1, 2);
    fillCombo(Combosavereal, noYes());
    return Frame_advanced;
}

// The ways out: "<< Back" and "Continue to Run...".
QLayout* Frm_setup::buildWaysOut() {
    auto* bottom = new QHBoxLayout;
    Cmdoffline = named(new QPushButton(QStringLiteral("<< Back"), this), "Cmdoffline");
    Command_main = named(new QPushButton(QStringLiteral("Continue to Run..."), this), "Command_main");
    bottom->addWidget(Cmdoffline);
    bottom->addStretch(1);
    bottom->addWidget(Command_main);
    return bottom;
}

// The project list, shown over the plate while a project is chosen.
void Frm_setup::buildProjectList() {
    frm_project = named(new QGroupBox(QStringLiteral("SELECT PROJECT TO LOAD:"), this), "frm_project");
    frm_project->setAutoFillBackground(true);
    auto* fp = new QVBoxLayout(frm_project);
    List_project = named(new QListWidget(frm_project), "List_project");
    Cmd_cancel = named(new QPushButton(QStringLiteral("Cancel"), frm_project), "Cmd_cancel");
    fp->addWidget(List_project, 1);
    fp->addWidget(Cmd_cancel, 0, Qt::AlignRight);
    frm_project->hide();
}

void Frm_setup::wire() {
    SetupModel& m = *model_;
    ProjectArea& pa = m.project();
    GroupEditor& ge = m.groups();
    AcquisitionSettings& st = m.settings();
    auto after = [this] { showModel(); };

    connect(Cmdnewpj, &QPushButton::clicked, this, [&pa, after] { pa.newProject(); after(); });
    connect(Cmdsavepj, &QPushButton::clicked, this, [&pa, after] { pa.saveClick(); after(); });
    connect(cmdLoad, &QPushButton::clicked, this, [&pa, after] { pa.loadClick(); after(); });
    connect(Cmd_cancel, &QPushButton::clicked, this, [&pa, after] { pa.hideList(); after(); });
    // List double clicks change the lists themselves: the work runs once the
    // view has finished with the click.
    connect(List_project, &QListWidget::itemDoubleClicked, this, [this, &m, after](QListWidgetItem* item) {
        int row = List_project->row(item);
        QTimer::singleShot(0, this, [&m, row, after] {
            m.chooseProject(row);
            after();
        });
    });
    connect(Txt_description, &QPlainTextEdit::textChanged, this,
            [this, &m] { m.setNotes(ss(Txt_description->toPlainText())); });

    connect(Combowell, &QComboBox::activated, this, &Frm_setup::Combowell_Click);
    connect(Timer1, &QTimer::timeout, this, &Frm_setup::Timer1_Timer);
    connect(Picwell, &SurfaceWidget::mousePressed, this, [&ge, after](Qt::MouseButton b, double x, double y) {
        ge.mouseDown(buttonOf(b), x, y);
        after();
    });
    connect(Picwell, &SurfaceWidget::mouseReleased, this, [&ge, after](Qt::MouseButton b, double x, double y) {
        ge.mouseUp(buttonOf(b), x, y);
        after();
    });
    connect(Picwell, &SurfaceWidget::mouseMoved, this,
            [&ge](Qt::MouseButtons, double x, double y) { ge.mouseMove(x, y); });
    connect(Picwell, &SurfaceWidget::resized, this, [&ge] { ge.redraw(); });
    connect(combogrup, &QListWidget::currentRowChanged, this, [this, &ge, after](int row) {
        if (showing_ || row < 0) return;
        ge.selectIndex(row);
        after();
    });
    connect(combogrup, &QListWidget::itemDoubleClicked, this, [this, &ge, after] {
        QTimer::singleShot(0, this, [&ge, after] {
            ge.renameGroup();
            after();
        });
    });
    connect(lstchgrup, &QListWidget::itemDoubleClicked, this, [this, &ge, after](QListWidgetItem* item) {
        int row = lstchgrup->row(item);
        QTimer::singleShot(0, this, [&ge, row, after] {
            ge.freeListDoubleClick(row);
            after();
        });
    });
    connect(lstgrup, &QListWidget::itemDoubleClicked, this, [this, &ge, after](QListWidgetItem* item) {
        int row = lstgrup->row(item);
        QTimer::singleShot(0, this, [&ge, row, after] {
            ge.assignedListDoubleClick(row);
            after();
        });
    });
    connect(Cmd_clear, &QPushButton::clicked, this, [&ge, after] { ge.clearClick(); after(); });
    connect(cmd_goset, &QPushButton::clicked, this,
            [this] { mngroup->popup(cmd_goset->mapToGlobal(QPoint(0, cmd_goset->height()))); });
    for (QAction* a : mnopciongrup) {
        connect(a, &QAction::triggered, this, [&ge, a, after] {
            ge.autoArrangeEntry(a->data().toInt());
            after();
        });
    }

    connect(Cmb_organism, &QComboBox::activated, this, [&st, after](int i) { st.organismChosen(i); after(); });
    connect(ComboDSP, &QComboBox::activated, this, [&st, after](int i) { st.dspChosen(i); after(); });
    connect(Combo_aqmode, &QComboBox::activated, this, [&st, after](int i) { st.aqModeChosen(i); after(); });
    connect(Combosavecount, &QComboBox::activated, this, [&st, after](int i) { st.saveCountChosen(i); after(); });
    connect(Combosavereal, &QComboBox::activated, this, [this, &st, after] {
        st.saveRealChosen(ss(Combosavereal->currentText()));
        after();
    });
    connect(Txtlapse, &QLineEdit::textEdited, this, [this, &st](const QString& t) {
        st.lapseChanged(ss(t));
        // An emptied box is being retyped: it is corrected when left.
        if (!t.isEmpty()) setText(Txtlapse, st.lapseText());
    });
    connect(Txtlapse, &QLineEdit::editingFinished, this, [this, &st] {
        st.lapseChanged(ss(Txtlapse->text()));
        setText(Txtlapse, st.lapseText());
    });
    connect(Txtsample, &QLineEdit::textEdited, this, [&st](const QString& t) { st.sampleChanged(ss(t)); });
    connect(Txt_dspinterval, &QLineEdit::textEdited, this,
            [&st](const QString& t) { st.dspIntervalChanged(ss(t)); });
    connect(Txtbuffer, &QLineEdit::editingFinished, this, [this, &st] {
        st.bufferLeft(ss(Txtbuffer->text()));
        setText(Txtbuffer, st.bufferText());
    });
    connect(lbl_snr, &QLineEdit::editingFinished, this, &Frm_setup::lbl_snr_LostFocus);
    connect(chkcalib, &QCheckBox::clicked, this, [&st](bool c) { st.calibrationClicked(c); });
    connect(chklight, &QCheckBox::clicked, this, [&st](bool c) { st.lightClicked(c); });
    connect(chktemp, &QCheckBox::clicked, this, [&st](bool c) { st.temperatureClicked(c); });
    connect(cmd_advanced, &QPushButton::clicked, this, [&st, after] { st.advancedClicked(); after(); });
    connect(mn_advanced, &QAction::triggered, this, [&st, after] { st.advancedMenu(); after(); });

    connect(Command_main, &QPushButton::clicked, this, &Frm_setup::Command_main_Click);
    connect(Cmdoffline, &QPushButton::clicked, this, &Frm_setup::Cmdoffline_Click);
}

void Frm_setup::open() {
    model_->open();
    showModel();
    show();
}

void Frm_setup::showModel() {
    showing_ = true;
    showProjectArea();
    showGroups();
    showSettings();
    showing_ = false;
}

void Frm_setup::showProjectArea() {
    ProjectArea& pa = model_->project();
    setText(txtprj, pa.txtprj());
    if (Txtfolder->text() != q(pa.txtfolder())) {
        Txtfolder->setText(q(pa.txtfolder()));
        Txtfolder->setToolTip(Txtfolder->text());
        // The end of the path names the project folder.
        Txtfolder->setCursorPosition(Txtfolder->text().size());
    }
    if (ss(Txt_description->toPlainText()) != model_->notes())
        Txt_description->setPlainText(q(model_->notes()));
    if (pa.listVisible()) {
        std::vector<std::string> entries;
        for (const auto& e : pa.list()) entries.push_back(e.text);
        fillList(List_project, entries, -1);
        placeProjectList();
        frm_project->show();
        frm_project->raise();
    } else {
        frm_project->hide();
    }
}

void Frm_setup::showGroups() {
    GroupEditor& ge = model_->groups();

    fillCombo(Combowell, ge.plateNames());
    Combowell->setCurrentIndex(Combowell->findText(q(ge.plateShown()), Qt::MatchFixedString));

    std::vector<std::string> groups;
    for (const auto& g : ge.groups()) groups.push_back(g.text);
    fillList(combogrup, groups, ge.selectedIndex());
    fillList(lstgrup, ge.labels(ge.assignedChannels()), ge.assignedPosition());
    fillList(lstchgrup, ge.labels(ge.freeChannels()), ge.freePosition());

    fillCombo(Combo_sets, ge.blockSizeList());
    auto captions = ge.menuCaptions();
    for (int i = 0; i < mnopciongrup.size(); ++i) {
        QAction* a = mnopciongrup[i];
        bool shown = i < static_cast<int>(captions.size());
        a->setVisible(shown);
        if (shown) a->setText(q(captions[static_cast<size_t>(i)]));
        a->setChecked(i == ge.checkedMenuEntry());
    }
}

void Frm_setup::showSettings() {
    AcquisitionSettings& st = model_->settings();
    selectIndex(Cmb_organism, st.organismIndex());
    selectIndex(ComboDSP, st.dspIndex());
    selectIndex(Combo_aqmode, st.aqModeIndex());
    selectIndex(Combosavecount, st.saveCountIndex());
    selectIndex(Combosavereal, st.saveRealIndex());
    setText(lbl_snr, st.snrText());
    lbl_snr->setEnabled(st.snrEnabled());
    setText(Txtlapse, st.lapseText());
    setText(Txtsample, st.sampleText());
    setText(Txt_dspinterval, st.dspIntervalText());
    setText(Txtbuffer, st.bufferText());
    chkcalib->setChecked(st.calibrationChecked());
    chkcalib->setEnabled(st.calibrationEnabled());
    chklight->setChecked(st.lightChecked());
    chktemp->setChecked(st.temperatureChecked());
    Chk_mn4->setChecked(st.menuChecked(4));
    Chk_mn5->setChecked(st.menuChecked(5));
    Chk_mn6->setChecked(st.menuChecked(6));
    Frame_advanced->setVisible(st.advancedVisible());
    cmd_advanced->setVisible(st.advancedButtonVisible());
    cmd_advanced->setText(q(st.advancedCaption()));
}

void Frm_setup::placeProjectList() {
    // Over the plate, whatever the window's size.
    frm_project->setGeometry(Picwell->parentWidget()->geometry());
}

void Frm_setup::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (frm_project->isVisible()) placeProjectList();
}

void Frm_setup::Combowell_Click(int index) {
    model_->groups().choosePlate(ss(Combowell->itemText(index)));
    // The list closes before any question appears.
    Timer1->start();
}

void Frm_setup::Timer1_Timer() {
    model_->groups().Timer1_Timer();
    showModel();
}

void Frm_setup::lbl_snr_LostFocus() {
    if (checkingSnr_ || showing_ || !lbl_snr->isEnabled()) return;
    checkingSnr_ = true;
    bool ok = model_->settings().snrLeft(ss(lbl_snr->text()));
    setText(lbl_snr, model_->settings().snrText());
    if (!ok) lbl_snr->setFocus();
    checkingSnr_ = false;
}

void Frm_setup::Command_main_Click() {
    model_->continueToRun();
    showModel();
    hide();
}

void Frm_setup::Cmdoffline_Click() {
    model_->back();
    showModel();
    hide();
}

void Frm_setup::closeEvent(QCloseEvent* e) {
    model_->closed();
    showModel();
    e->accept();
}

bool Frm_setup::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseButtonDblClick) {
        if (watched == txtprj) {
            model_->project().rename();
            showModel();
            return true;
        }
        bool onSnr = watched == lbl_snr;
        if (watched == lbl_snr->parentWidget()) {
            auto* me = static_cast<QMouseEvent*>(e);
            onSnr = lbl_snr->geometry().contains(me->position().toPoint());
        }
        if (onSnr) {
            model_->settings().snrDoubleClicked();
            showModel();
            lbl_snr->setFocus();
            lbl_snr->selectAll();
            return true;
        }
    }
    if (watched == combogrup && e->type() == QEvent::KeyPress) {
        auto key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            model_->groups().renameGroup();
            showModel();
            return true;
        }
    }
    if (watched == Picwell && e->type() == QEvent::Leave) model_->groups().mouseLeft();
    return QWidget::eventFilter(watched, e);
}

} // namespace trv
