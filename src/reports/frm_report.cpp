#include "reports/frm_report.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "display/NamedWidgetQt.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace trv {

namespace {

std::string ss(const QString& s) {
    return s.toStdString();
}

void setEditText(QComboBox* box, const std::string& text) {
    if (box->currentText() != q(text)) box->setEditText(q(text));
}

void setLineText(QLineEdit* box, const std::string& text) {
    if (box->text() != q(text)) box->setText(q(text));
}

} // namespace

frm_report::frm_report(SharedState& state, Ports& ports, bool userBinSize, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(state, ports), state_(state), ports_(ports) {
    setObjectName(QStringLiteral("frm_report"));
    setWindowTitle(QStringLiteral("Report Output"));
    build();
    ReportWindowHooks& h = model_.hooks();
    h.show = [this] {
        show();
        raise();
        activateWindow();
        // The automatic report runs once the window is up, after the caller
        // (the end of an acquisition) has finished.
        if (model_.c.chk_autoreport) QTimer::singleShot(0, this, [this] { model_.activated(); });
    };
    h.hide = [this] { hide(); };
    h.refresh = [this] { showControls(); };
    h.frameShown = [this] { growForFrame(); };
    h.statusText = [this](const std::string& text) { frmlbl_status->setText(q(text)); };
    model_.create(userBinSize);
    wire();
    showControls();
    adjustSize();
}

frm_report::~frm_report() {
    // Boxes losing the focus while the window goes must not call into it.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void frm_report::build() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 4, 8, 8);
    auto* menuBar = new QMenuBar(this);
    QMenu* advanced = menuBar->addMenu(QStringLiteral("Advanced"));
    advanced->setObjectName(QStringLiteral("mnadvanced"));
    mnrecalculate = named(advanced->addAction(QStringLiteral("Analyze Raw Data")), "mnrecalculate");
    mncircadian = named(advanced->addAction(QStringLiteral("1 file/well Report")), "mncircadian");
    root->setMenuBar(menuBar);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("Acquisition:"), this));
    Txt_inputfile = named(new QLineEdit(this), "Txt_inputfile");
    Txt_inputfile->setMinimumWidth(360);
    fileRow->addWidget(Txt_inputfile, 1);
    root->addLayout(fileRow);

    frm_options = named(new QGroupBox(QStringLiteral("Options"), this), "frm_options");
    auto* og = new QGridLayout(frm_options);
    int row = 0;
    og->addWidget(new QLabel(QStringLiteral("Bin size (min):"), frm_options), row, 0);
    Cmb_binsize = named(new QComboBox(frm_options), "Cmb_binsize");
    Cmb_binsize->setEditable(true);
    Cmb_binsize->setMinimumWidth(90);
    og->addWidget(Cmb_binsize, row, 1);
    og->addWidget(new QLabel(QStringLiteral("Basal Meassure:"), frm_options), row, 2);
    cmbbasal = named(new QComboBox(frm_options), "cmbbasal");
    cmbbasal->setEditable(true);
    cmbbasal->setMinimumWidth(200);
    og->addWidget(cmbbasal, row++, 3);

    optionControls.build(frm_options, reportOutputEntries());
    og->addWidget(optionControls.fileBox, row, 0, 1, 2);
    og->addWidget(optionControls.outputBox, row, 2);
    og->addWidget(optionControls.statBox, row++, 3);
    root->addWidget(frm_options);

    auto* buttons = new QHBoxLayout;
    chk_autoreport = named(new QCheckBox(QStringLiteral("Autoreport"), this), "chk_autoreport");
    // Set only by the end of a timed acquisition.
    chk_autoreport->setEnabled(false);
    buttons->addWidget(chk_autoreport);
    buttons->addStretch(1);
    Cmd_doseresponse =
        named(new QPushButton(QStringLiteral("Dose-response..."), this), "Cmd_doseresponse");
    buttons->addWidget(Cmd_doseresponse);
    Cmd_generate = named(new QPushButton(QStringLiteral("Generate..."), this), "Cmd_generate");
    Cmd_cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "Cmd_cancel");
    Cmd_generate->setDefault(true);
    buttons->addWidget(Cmd_generate);
    buttons->addWidget(Cmd_cancel);
    root->addLayout(buttons);

    Frame_run = named(new QGroupBox(QStringLiteral("Raw data processing:"), this), "Frame_run");
    auto* fg = new QGridLayout(Frame_run);
    fg->addWidget(new QLabel(QStringLiteral("Method:"), Frame_run), 0, 0);
    Cmb_dspmethod = named(new QComboBox(Frame_run), "Cmb_dspmethod");
    fg->addWidget(Cmb_dspmethod, 0, 1, 1, 3);
    fg->addWidget(new QLabel(QStringLiteral("Organism:"), Frame_run), 1, 0);
    Cmb_organism = named(new QComboBox(Frame_run), "Cmb_organism");
    fg->addWidget(Cmb_organism, 1, 1);
    fg->addWidget(new QLabel(QStringLiteral("Threshold:"), Frame_run), 1, 2);
    frmtxt_threshold = named(new QLineEdit(Frame_run), "frmtxt_threshold");
    frmtxt_threshold->setMaximumWidth(60);
    fg->addWidget(frmtxt_threshold, 1, 3);
    fg->addWidget(new QLabel(QStringLiteral("Analyze:"), Frame_run), 2, 0);
    auto* lapseRow = new QHBoxLayout;
    frmtxt_datalapse = named(new QLineEdit(Frame_run), "frmtxt_datalapse");
    frmtxt_datalapse->setMaximumWidth(60);
    lapseRow->addWidget(frmtxt_datalapse);
    lapseRow->addWidget(new QLabel(QStringLiteral("hours"), Frame_run));
    lapseRow->addStretch(1);
    fg->addLayout(lapseRow, 2, 1);
    Chk_replacedata =
        named(new QCheckBox(QStringLiteral("Replace old data"), Frame_run), "Chk_replacedata");
    Chk_rawexport = named(new QCheckBox(QStringLiteral("Export Raw"), Frame_run), "Chk_rawexport");
    fg->addWidget(Chk_replacedata, 2, 2);
    fg->addWidget(Chk_rawexport, 2, 3);
    cmd_runframe = named(new QPushButton(QStringLiteral("RUN"), Frame_run), "cmd_runframe");
    cmd_stopframe = named(new QPushButton(QStringLiteral("STOP"), Frame_run), "cmd_stopframe");
    frmlbl_status = named(new QLabel(QStringLiteral("Block xx/xx"), Frame_run), "frmlbl_status");
    frmlbl_status->setMinimumWidth(120);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(cmd_runframe);
    runRow->addWidget(cmd_stopframe);
    runRow->addSpacing(12);
    runRow->addWidget(frmlbl_status, 1);
    fg->addLayout(runRow, 3, 0, 1, 4);
    fg->setColumnStretch(1, 1);
    Frame_run->hide();
    root->addWidget(Frame_run);
}

void frm_report::wire() {
    ReportWindowModel& m = model_;
    auto guarded = [this](auto f) {
        return [this, f](auto&&...) {
            if (!showing_) f();
        };
    };
    connect(mnrecalculate, &QAction::triggered, this, [this] {
        takeControls();
        model_.mnrecalculate_Click();
    });
    connect(mncircadian, &QAction::triggered, this, [this] {
        takeControls();
        model_.mncircadian_Click();
    });
    connect(Txt_inputfile, &QLineEdit::textEdited, this,
            [&m](const QString& t) { m.c.Txt_inputfile = ss(t); });
    connect(Cmb_binsize, &QComboBox::editTextChanged, this,
            guarded([this] { model_.c.options.binText = ss(Cmb_binsize->currentText()); }));
    connect(cmbbasal, &QComboBox::currentTextChanged, this,
            guarded([this] { model_.c.cmbbasal = ss(cmbbasal->currentText()); }));
    for (int i = 0; i < Option_report.size(); ++i)
        connect(Option_report[i], &QRadioButton::clicked, this, [this, i] {
            takeControls();
            model_.Option_report_Click(i);
        });
    connect(txt_customspacer, &QLineEdit::textEdited, this,
            [&m](const QString& t) { m.c.options.spacer = ss(t); });
    for (int i = 0; i < Option_output.size(); ++i)
        connect(Option_output[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && !showing_) model_.c.options.outputFormat = i;
        });
    for (int i = 0; i < Chk_statistic.size(); ++i)
        connect(Chk_statistic[i], &QCheckBox::toggled, this, [this, i](bool on) {
            if (!showing_) model_.c.options.statistics[static_cast<size_t>(i)] = on;
        });
    connect(Cmd_generate, &QPushButton::clicked, this, [this] {
        takeControls();
        model_.Cmd_generate_Click();
    });
    connect(Cmd_cancel, &QPushButton::clicked, this, [this] { model_.Cmd_cancel_Click(); });
    connect(Cmd_doseresponse, &QPushButton::clicked, this, [this] {
        takeControls();
        openDoseResponse();
    });

    connect(Cmb_dspmethod, &QComboBox::activated, this, [&m](int i) { m.c.Cmb_dspmethod = i; });
    connect(Cmb_organism, &QComboBox::activated, this,
            [this](int i) { model_.Cmb_organism_Click(i); });
    connect(frmtxt_threshold, &QLineEdit::editingFinished, this, [this] {
        if (showing_) return;
        model_.c.frmtxt_threshold = ss(frmtxt_threshold->text());
        model_.frmtxt_threshold_LostFocus();
    });
    connect(frmtxt_datalapse, &QLineEdit::textEdited, this,
            [&m](const QString& t) { m.c.frmtxt_datalapse = ss(t); });
    connect(Chk_replacedata, &QCheckBox::clicked, this,
            [this](bool on) { model_.Chk_replacedata_Click(on); });
    connect(Chk_rawexport, &QCheckBox::clicked, this,
            [this](bool on) { model_.Chk_rawexport_Click(on); });
    connect(cmd_runframe, &QPushButton::clicked, this, [this] {
        takeControls();
        model_.cmd_runframe_Click();
        if (model_.closeWhenIdle()) close();
    });
    connect(cmd_stopframe, &QPushButton::clicked, this, [this] { model_.cmd_stopframe_Click(); });
}

void frm_report::takeControls() {
    ReportWindowControls& c = model_.c;
    c.Txt_inputfile = ss(Txt_inputfile->text());
    c.options.binText = ss(Cmb_binsize->currentText());
    c.cmbbasal = ss(cmbbasal->currentText());
    c.options.spacer = ss(txt_customspacer->text());
    c.frmtxt_threshold = ss(frmtxt_threshold->text());
    c.frmtxt_datalapse = ss(frmtxt_datalapse->text());
}

void frm_report::showControls() {
    showing_ = true;
    const ReportWindowControls& c = model_.c;
    setWindowTitle(q(c.caption));
    setLineText(Txt_inputfile, c.Txt_inputfile);
    {
        QSignalBlocker b(Cmb_binsize);
        fillCombo(Cmb_binsize, c.options.binEntries);
        setEditText(Cmb_binsize, c.options.binText);
    }
    {
        QSignalBlocker b(cmbbasal);
        fillCombo(cmbbasal, c.basalEntries);
        setEditText(cmbbasal, c.cmbbasal);
    }
    optionControls.show(c.options);
    Option_output[4]->setVisible(c.histogramVisible);
    chk_autoreport->setChecked(c.chk_autoreport);
    frm_options->setEnabled(c.optionsEnabled);
    Cmd_generate->setEnabled(!c.running);

    fillCombo(Cmb_dspmethod, reprocessMethodEntries());
    fillCombo(Cmb_organism, reprocessOrganismEntries());
    Cmb_dspmethod->setCurrentIndex(
        c.Cmb_dspmethod >= 0 && c.Cmb_dspmethod < Cmb_dspmethod->count() ? c.Cmb_dspmethod : -1);
    Cmb_organism->setCurrentIndex(
        c.Cmb_organism >= 0 && c.Cmb_organism < Cmb_organism->count() ? c.Cmb_organism : -1);
    setLineText(frmtxt_threshold, c.frmtxt_threshold);
    setLineText(frmtxt_datalapse, c.frmtxt_datalapse);
    frmtxt_datalapse->setEnabled(c.datalapseEnabled);
    Chk_replacedata->setChecked(c.Chk_replacedata);
    Chk_rawexport->setChecked(c.options.rawExport);
    frmlbl_status->setText(q(c.frmlbl_status));
    cmd_runframe->setEnabled(!c.running);
    cmd_stopframe->setEnabled(c.running);
    if (c.frameVisible && Frame_run->isHidden()) growForFrame();
    showing_ = false;
}

void frm_report::openDoseResponse() {
    const std::string& folder = model_.c.Txt_inputfile;
    if (folder.empty() || !fileExists(countsFilePath(folder))) {
        ports_.prompter.show("Activity file not Found");
        return;
    }
    if (!doseResponseOpener) {
        ports_.prompter.show("Dose-response is not part of this version");
        return;
    }
    doseResponseOpener(*this, ports_, folder, state_.Program_Folder, model_.c.cmbbasal);
}

void frm_report::growForFrame() {
    if (!Frame_run->isHidden()) return;
    // The frame sits below the window's normal height: the window grows by
    // what the frame needs.
    const int before = height();
    Frame_run->show();
    layout()->activate();
    resize(width(), std::max(before + Frame_run->sizeHint().height(), sizeHint().height()));
}

void frm_report::closeEvent(QCloseEvent* e) {
    if (!model_.closing()) {
        e->ignore();
        return;
    }
    e->accept();
    emit closed();
}

} // namespace trv
