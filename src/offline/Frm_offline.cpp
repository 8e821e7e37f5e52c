#include "offline/Frm_offline.h"

#include "analysis/frm_rhythm.h"
#include "analysis/frm_sleep.h"
#include "common/Files.h"
#include "display/NamedWidgetQt.h"
#include "display/QtStatusView.h"
#include "display/SurfaceQt.h"
#include "offline/MonitorFilesMenu.h"
#include "offline/RawAnalysis.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace trv {

namespace {

// A list line as the list shows it: bytes that are not UTF-8 become the
// replacement character (the window never reads a line back from its
// control, only its index), TABs go to the next multiple of eight columns.
QString displayLine(const std::string& line) {
    const QString text = q(line);
    QString out;
    out.reserve(text.size() + 16);
    for (QChar ch : text) {
        if (ch == QLatin1Char('\t')) {
            do
                out += QLatin1Char(' ');
            while (out.size() % 8 != 0);
        } else {
            out += ch;
        }
    }
    return out;
}

void setColour(QLabel* label, int r, int g, int b) {
    label->setStyleSheet(QStringLiteral("QLabel { color: rgb(%1,%2,%3); }").arg(r).arg(g).arg(b));
}

void setIfDifferent(QLineEdit* box, const std::string& text) {
    if (box->text() != q(text)) box->setText(q(text));
}

void fillList(QListWidget* list, const std::vector<std::string>& entries) {
    if (list->count() == static_cast<int>(entries.size())) {
        bool same = true;
        for (int i = 0; same && i < list->count(); ++i)
            same = list->item(i)->text() == q(entries[static_cast<size_t>(i)]);
        if (same) return;
    }
    list->clear();
    for (const auto& e : entries)
        list->addItem(q(e));
}

// Refills a combo box only when its entries differ (the selection stays).
} // namespace

Frm_offline::Frm_offline(const std::string& programFolder, Ports& ports, QWidget* parent)
    : QMainWindow(parent), ports_(ports), browser_(programFolder, ports) {
    setObjectName(QStringLiteral("Frm_offline"));
    setWindowTitle(QString::fromLatin1(Caption));
    build();
    wire();

    // The configuration and the views of the chosen acquisition.
    BrowserHooks& h = browser_.hooks();
    h.loadConfiguration = [this, programFolder](const std::string& folder) {
        loadOfflineConfiguration(folder, programFolder, config_, ports_.prompter);
        return config_.loaded();
    };
    h.loadProjectConfiguration = [this, programFolder](const std::string& folder) {
        loadOfflineConfiguration(folder, programFolder, projectConfig_, ports_.prompter);
        return projectConfig_.loaded();
    };
    h.fillGroupLists = [this] {
        stopPageLoad();
        track_.release();
        plots_.acquisitionChosen(config_);
    };
    h.configurationBlock = [this] {
        return configurationBlock(config_, ports_.locale.decimalSeparator());
    };
    h.settings = [this] {
        const ProjectSetup& s = config_.setup;
        return LoadedSettings{s.Plate_format, s.Organism(), s.DSP_Method, config_.snrTimesTen()};
    };
    h.showGroupActivity = [this] {
        plots_.showGroupActivity(Picreal->surface(), source(), ports_.prompter);
    };
    h.release = [this] {
        stopPageLoad();
        track_.release();
        plots_.release();
    };
    h.clearView = [this] {
        stopPageLoad();
        track_.release();
        plots_.forget(Picreal->surface());
        Picreal->update();
    };
    h.openGroupEditor = [this] { return openGroupEditor(); };
    views.analyze = [this] { analyze(); };
    resize(1100, 700);
}

void Frm_offline::bindStatus(QtStatusView& view) {
    view.bindProgress(status::OfflineProgress, Pic_status);
    view.bindText(status::OfflinePageBox, txt_page);
}

Frm_offline::~Frm_offline() {
    stopPageLoad();
    // Closing moves the focus; a box losing it must not call into the browser.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void Frm_offline::build() {
    buildMenus();
    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(6, 4, 6, 6);
    columns->addWidget(buildLeft(), 3);
    columns->addWidget(buildRight(), 5);
    setCentralWidget(central);
}

QWidget* Frm_offline::buildLeft() {
    auto* left = new QWidget(this);
    auto* v = new QVBoxLayout(left);
    v->setContentsMargins(0, 0, 0, 0);

    auto* headers = new QHBoxLayout;
    lblproject = named(new QLabel(QStringLiteral("Project"), left), "lblproject");
    lbl_date = named(new QLabel(QStringLiteral("Date"), left), "lbl_date");
    lbl_orden = named(new QLabel(QStringLiteral("^"), left), "lbl_orden");
    headers->addWidget(lblproject);
    headers->addStretch(1);
    headers->addWidget(lbl_date);
    headers->addWidget(lbl_orden);
    v->addLayout(headers);

    Listpj = named(new QListWidget(left), "Listpj");
    Listpj->setMinimumWidth(300);
    Listpj->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Listpj->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Listpj->setContextMenuPolicy(Qt::CustomContextMenu);
    Listpj->setUniformItemSizes(true);
    v->addWidget(Listpj, 1);

    auto* filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QStringLiteral("Filter by:"), left));
    txt_search = named(new QLineEdit(left), "txt_search");
    cmd_lupa = named(new QPushButton(QStringLiteral("Apply"), left), "cmd_lupa");
    filter->addWidget(txt_search, 1);
    filter->addWidget(cmd_lupa);
    v->addLayout(filter);

    Cmd_main = named(new QLabel(QStringLiteral("<< Back"), left), "Cmd_main");
    v->addWidget(Cmd_main);

    for (QLabel* l : {lblproject, lbl_date, Cmd_main}) {
        setColour(l, 0, 0, 255);
        l->setMouseTracking(true);
        l->setCursor(Qt::PointingHandCursor);
        l->installEventFilter(this);
    }
    Timer_button = named(new QTimer(this), "Timer_button");
    Timer_button->setInterval(400);
    Timer_play = named(new QTimer(this), "Timer_play");
    Timer_play->setInterval(kTrackPlaybackMs);
    return left;
}

QWidget* Frm_offline::buildRight() {
    auto* right = new QWidget(this);
    auto* v = new QVBoxLayout(right);
    v->setContentsMargins(0, 0, 0, 0);

    // Two rows of buttons: the views, then the track button, the ".bmp" box
    // and "Report", whose long caption is cut rather than widening the
    // window, so that every control stays in sight at the default size.
    auto* buttons = new QHBoxLayout;
    auto* reportRow = new QHBoxLayout;
    Cmd_leegroups =
        named(new QPushButton(QStringLiteral("[Group Activity]"), right), "Cmd_leegroups");
    cmdchannels = named(new QPushButton(QStringLiteral("Channel Signal"), right), "cmdchannels");
    Cmd_barplot = named(new QPushButton(QStringLiteral("Bar Plot"), right), "Cmd_barplot");
    Cmd_gridplot = named(new QPushButton(QStringLiteral("Heatmap PLOT"), right), "Cmd_gridplot");
    Cmd_lineplot = named(new QPushButton(QStringLiteral("Line Plot"), right), "Cmd_lineplot");
    cmd_track =
        named(new QPushButton(QStringLiteral("Single Animal Path Tracking"), right), "cmd_track");
    chk_bmp = named(new QCheckBox(QStringLiteral("->.bmp"), right), "chk_bmp");
    for (QWidget* w : std::initializer_list<QWidget*>{Cmd_leegroups, cmdchannels, Cmd_barplot,
                                                      Cmd_gridplot, Cmd_lineplot})
        buttons->addWidget(w);
    buttons->addStretch(1);
    Cmd_report = named(new QPushButton(QStringLiteral("[ REPORT ]"), right), "Cmd_report");
    Cmd_report->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    Cmd_report->setMinimumWidth(160);
    reportRow->addWidget(cmd_track);
    reportRow->addWidget(chk_bmp);
    reportRow->addWidget(Cmd_report, 1);
    v->addLayout(buttons);
    v->addLayout(reportRow);

    auto* middle = new QHBoxLayout;
    auto* plotColumn = new QVBoxLayout;
    Picreal = named(new SurfaceWidget(right), "Picreal");
    Picreal->setMinimumSize(300, 200);
    Picreal->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    plotColumn->addWidget(Picreal, 1);
    auto* pages = new QHBoxLayout;
    txt_page = named(new QLineEdit(right), "txt_page");
    txt_page->setReadOnly(true);
    txt_page->setMaximumWidth(90);
    scrollpage = named(new QScrollBar(Qt::Horizontal, right), "scrollpage");
    scrollpage->setRange(1, 1);
    pages->addWidget(txt_page);
    pages->addWidget(scrollpage, 1);
    plotColumn->addLayout(pages);
    middle->addLayout(plotColumn, 4);

    // The pickers and lists beside the plot keep a narrow column, so the
    // plot takes the width the window gains.
    auto* sideColumn = new QWidget(right);
    sideColumn->setMaximumWidth(240);
    auto* side = new QVBoxLayout(sideColumn);
    side->setContentsMargins(0, 0, 0, 0);
    lstgrup_plot = named(new QListWidget(right), "lstgrup_plot");
    side->addWidget(lstgrup_plot, 2);
    combogrup = named(new QComboBox(right), "combogrup");
    side->addWidget(combogrup);
    lstgrup = named(new QListWidget(right), "lstgrup");
    side->addWidget(lstgrup, 2);
    auto* pick = new QHBoxLayout;
    lblcanal = named(new QLabel(right), "lblcanal");
    Combofila = named(new QComboBox(right), "Combofila");
    Combocol = named(new QComboBox(right), "Combocol");
    txtsub = named(new QLineEdit(QStringLiteral("0"), right), "txtsub");
    txtsub->setMaximumWidth(40);
    pick->addWidget(lblcanal, 1);
    pick->addWidget(Combofila);
    pick->addWidget(Combocol);
    pick->addWidget(txtsub);
    side->addLayout(pick);

    frm_bin = named(new QFrame(right), "frm_bin");
    auto* bin = new QHBoxLayout(frm_bin);
    bin->setContentsMargins(0, 0, 0, 0);
    bin->addWidget(new QLabel(QStringLiteral("Bin (min):"), frm_bin));
    cmd_minus = named(new QPushButton(QStringLiteral("-"), frm_bin), "cmd_minus");
    txt_bin = named(new QLineEdit(QStringLiteral("5"), frm_bin), "txt_bin");
    cmd_plus = named(new QPushButton(QStringLiteral("+"), frm_bin), "cmd_plus");
    bin->addWidget(cmd_minus);
    bin->addWidget(txt_bin);
    bin->addWidget(cmd_plus);
    side->addWidget(frm_bin);

    fmranalizar = named(new QGroupBox(right), "fmranalizar");
    auto* an = new QGridLayout(fmranalizar);
    an->addWidget(new QLabel(QStringLiteral("Threshold:"), fmranalizar), 0, 0);
    frmtxt_threshold = named(new QLineEdit(QStringLiteral("1.8"), fmranalizar), "frmtxt_threshold");
    an->addWidget(frmtxt_threshold, 0, 1);
    cmb_modeanalisis = named(new QComboBox(fmranalizar), "cmb_modeanalisis");
    cmb_modeanalisis->addItems({QStringLiteral("Mode:0"), QStringLiteral("Mode:1")});
    an->addWidget(cmb_modeanalisis, 1, 0);
    Cmd_analyze = named(new QPushButton(QStringLiteral("Analyze"), fmranalizar), "Cmd_analyze");
    an->addWidget(Cmd_analyze, 1, 1);
    Pic_status = named(new QProgressBar(fmranalizar), "Pic_status");
    Pic_status->setRange(0, 100);
    Pic_status->setTextVisible(false);
    Pic_status->setStyleSheet(
        QStringLiteral("QProgressBar::chunk { background-color: rgb(0,0,255); }"));
    an->addWidget(Pic_status, 2, 0, 1, 2);
    side->addWidget(fmranalizar);

    lbl_tags = named(new QLabel(QStringLiteral("Tags:"), right), "lbl_tags");
    side->addWidget(lbl_tags);
    List_tags = named(new QListWidget(right), "List_tags");
    List_tags->setMaximumHeight(90);
    side->addWidget(List_tags);

    Framegrup = named(new QGroupBox(right), "Framegrup");
    auto* eg = new QVBoxLayout(Framegrup);
    combogrup2 = named(new QComboBox(Framegrup), "combogrup2");
    lstgrup2 = named(new QListWidget(Framegrup), "lstgrup2");
    lstchgrup2 = named(new QListWidget(Framegrup), "lstchgrup2");
    Combo_sets = named(new QComboBox(Framegrup), "Combo_sets");
    cmd_goset = named(new QPushButton(QStringLiteral("Go..."), Framegrup), "cmd_goset");
    Cmd_clear = named(new QPushButton(QStringLiteral("CLEAR LIST"), Framegrup), "Cmd_clear");
    cmdcancelgrups =
        named(new QPushButton(QStringLiteral("EXIT Group Edition"), Framegrup), "cmdcancelgrups");
    eg->addWidget(combogrup2);
    eg->addWidget(new QLabel(QStringLiteral("Assigned channels:"), Framegrup));
    eg->addWidget(lstgrup2);
    eg->addWidget(new QLabel(QStringLiteral("Free channels:"), Framegrup));
    eg->addWidget(lstchgrup2);
    auto* sets = new QHBoxLayout;
    sets->addWidget(new QLabel(QStringLiteral("SET:"), Framegrup));
    sets->addWidget(Combo_sets);
    sets->addWidget(cmd_goset);
    eg->addLayout(sets);
    eg->addWidget(Cmd_clear);
    eg->addWidget(cmdcancelgrups);
    Framegrup->hide();
    side->addWidget(Framegrup);
    side->addStretch(0);
    middle->addWidget(sideColumn, 1);
    v->addLayout(middle, 1);

    Txt_description = named(new QPlainTextEdit(right), "Txt_description");
    Txt_description->setMaximumHeight(80);
    Txt_description->installEventFilter(this);
    v->addWidget(Txt_description);
    return right;
}

void Frm_offline::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    QMenu* watching = file->addMenu(QStringLiteral("Watching Folders"));
    for (int i = 0; i < kWatchedFolderCount; ++i) {
        const std::string name = "mnwatch" + std::to_string(i + 1);
        mnwatch[static_cast<size_t>(i)] = watching->addAction(QString());
        mnwatch[static_cast<size_t>(i)]->setObjectName(QString::fromStdString(name));
    }
    mn_advanced = named(file->addAction(QStringLiteral("Advanced_calculation")), "mn_advanced");
    mn_help = named(file->addAction(QStringLiteral("Help")), "mn_help");

    // Pop-up menus: never in the menu bar.
    mnlist = named(new QMenu(this), "mnlist");
    mn_rename = named(mnlist->addAction(QStringLiteral("Rename")), "mn_rename");
    mn_find = named(mnlist->addAction(QStringLiteral("Find in Folder")), "mn_find");
    mn_tag = named(mnlist->addMenu(QStringLiteral("Kinetic Group TAG")), "mn_tag");
    for (int i = 0; i < kTagMenuEntries; ++i) {
        mn_tags[static_cast<size_t>(i)] = mn_tag->addAction(q(tagMenuText(i)));
        mn_tags[static_cast<size_t>(i)]->setObjectName(
            QString::fromStdString("mn_tag" + std::to_string(i)));
    }
    mn_replicate =
        named(mnlist->addMenu(QStringLiteral("Tag as  Replicate [Experiment Replication]")),
              "mn_replicate");
    for (int i = 1; i <= 9; ++i)
        mn_replicate->addAction(QStringLiteral("#%1").arg(i));
    // The replicate tags do nothing: the entry stays out of sight.
    mn_replicate->menuAction()->setVisible(false);
    mn_plateconfig = named(mnlist->addAction(QStringLiteral("Plate Config")), "mn_plateconfig");
    mn_delete = named(mnlist->addAction(QStringLiteral("Delete")), "mn_delete");

    mnexport = named(new QMenu(this), "mnexport");
    bmpexporta = named(mnexport->addAction(QStringLiteral("Export to BMP...")), "bmpexporta");
    asciiexporta = named(mnexport->addAction(QStringLiteral("Export to ASCII...")), "asciiexporta");
    mn_monitorexport = named(mnexport->addAction(q(kMonitorMenuText)), "mn_monitorexport");
    mn_sleep = named(mnexport->addAction(QStringLiteral("Sleep...")), "mn_sleep");
    mn_rhythm = named(mnexport->addAction(QStringLiteral("Rhythm...")), "mn_rhythm");
    mnjoint = named(new QMenu(this), "mnjoint");
    mn_relativize =
        named(mnjoint->addAction(QStringLiteral("Relativize to Time0")), "mn_relativize");
    mn_relativize->setCheckable(true);
    mn_jointbmp = named(mnjoint->addAction(QStringLiteral("Export .BMP")), "mn_jointbmp");
    mn_jointexport = named(mnjoint->addAction(QStringLiteral("Export Data")), "mn_jointexport");
    mnline = named(new QMenu(this), "mnline");
    mn_linebmp = named(mnline->addAction(QStringLiteral("Export .BMP")), "mn_linebmp");
    mnplate = named(new QMenu(this), "mnplate");
    mn_platebmp = named(mnplate->addAction(QStringLiteral("Export .BMP")), "mn_platebmp");
    mntrack = named(new QMenu(this), "mntrack");
    mn_bmptrack = named(mntrack->addAction(QStringLiteral("Export .BMP")), "mn_bmptrack");
    mn_datatrack = named(mntrack->addAction(QStringLiteral("Export Data")), "mn_datatrack");
}

void Frm_offline::after(const std::function<void()>& event) {
    event();
    showControls();
}

void Frm_offline::wire() {
    connect(Listpj, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!showing_) browser_.select(row);
    });
    connect(Listpj, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        after([&] { browser_.activate(Listpj->row(item)); });
    });
    Listpj->installEventFilter(this);
    connect(Listpj, &QWidget::customContextMenuRequested, this, &Frm_offline::Listpj_ContextMenu);
    connect(txt_search, &QLineEdit::returnPressed, cmd_lupa, &QPushButton::click);
    connect(cmd_lupa, &QPushButton::clicked, this,
            [this] { after([&] { browser_.cmd_lupa_Click(txt_search->text().toStdString()); }); });
    connect(Timer_button, &QTimer::timeout, this, &Frm_offline::Timer_button_Timer);

    connect(mn_rename, &QAction::triggered, this,
            [this] { after([&] { browser_.mnRename_Click(); }); });
    connect(mn_find, &QAction::triggered, this,
            [this] { after([&] { browser_.mnFind_Click(); }); });
    connect(mn_delete, &QAction::triggered, this,
            [this] { after([&] { browser_.mnDelete_Click(); }); });
    connect(mn_plateconfig, &QAction::triggered, this,
            [this] { after([&] { browser_.mnPlateConfig_Click(); }); });
    for (int i = 0; i < kTagMenuEntries; ++i)
        connect(mn_tags[static_cast<size_t>(i)], &QAction::triggered, this,
                [this, i] { after([&] { browser_.mnTag_Click(i, selectedLines()); }); });
    for (int i = 0; i < kWatchedFolderCount; ++i)
        connect(mnwatch[static_cast<size_t>(i)], &QAction::triggered, this,
                [this, i] { after([&] { browser_.mnWatch_Click(i); }); });
    connect(mn_advanced, &QAction::triggered, this,
            [this] { after([&] { browser_.Cmd_report_Click(); }); });
    connect(Cmd_report, &QPushButton::clicked, this,
            [this] { after([&] { browser_.Cmd_report_Click(); }); });
    connect(mn_monitorexport, &QAction::triggered, this, [this] {
        exportMonitorFilesFromBrowser(browser_.chosenFolder(), browser_.list().programFolder(),
                                      ports_);
    });
    connect(mn_sleep, &QAction::triggered, this, [this] {
        if (!browser_.chosenFolder().empty())
            openSleepWindow(*this, ports_, browser_.chosenFolder(), browser_.list().programFolder());
    });
    connect(mn_rhythm, &QAction::triggered, this, [this] {
        if (!browser_.chosenFolder().empty())
            openRhythmWindow(*this, ports_, browser_.chosenFolder(),
                             browser_.list().programFolder());
    });
    connect(mn_help, &QAction::triggered, this, [this] {
        ports_.desktop.openDocument(joinPath(browser_.list().programFolder(), "trv_help.pdf"));
    });

    connect(Txt_description, &QPlainTextEdit::textChanged, this, [this] {
        if (!showing_)
            browser_.Txt_description_Change(Txt_description->toPlainText().toStdString());
    });

    connect(Cmd_leegroups, &QPushButton::clicked, this, &Frm_offline::Cmd_leegroups_Click);
    connect(Cmd_barplot, &QPushButton::clicked, this, &Frm_offline::Cmd_barplot_Click);
    connect(Cmd_gridplot, &QPushButton::clicked, this, &Frm_offline::Cmd_gridplot_Click);
    connect(cmdchannels, &QPushButton::clicked, this, &Frm_offline::cmdchannels_Click);
    connect(scrollpage, &QScrollBar::valueChanged, this, &Frm_offline::scrollpage_Change);
    connect(combogrup, &QComboBox::activated, this, &Frm_offline::combogrup_Click);
    connect(lstgrup, &QListWidget::itemDoubleClicked, this, [this] { lstgrup_DblClick(); });
    connect(lstgrup_plot, &QListWidget::itemDoubleClicked, this,
            [this] { lstgrup_plot_DblClick(); });
    lstgrup->installEventFilter(this);
    lstgrup_plot->installEventFilter(this);
    connect(Combofila, &QComboBox::activated, this, [this] { Combofila_Click(); });
    connect(Combocol, &QComboBox::activated, this, [this] { Combocol_Click(); });
    connect(txtsub, &QLineEdit::editingFinished, this, [this] { txtsub_LostFocus(); });
    connect(Cmd_analyze, &QPushButton::clicked, this, &Frm_offline::Cmd_analyze_Click);
    // The analysis frame's values are kept as typed: every event shows the
    // controls again from them.
    connect(frmtxt_threshold, &QLineEdit::textEdited, this,
            [this](const QString& text) { browser_.c.frmtxt_threshold = text.toStdString(); });
    connect(cmb_modeanalisis, &QComboBox::activated, this,
            [this](int index) { browser_.c.cmb_modeanalisis = index; });

    connect(cmd_track, &QPushButton::clicked, this, &Frm_offline::cmd_track_Click);
    connect(Timer_play, &QTimer::timeout, this, &Frm_offline::Timer_play_Timer);
    connect(mn_datatrack, &QAction::triggered, this, &Frm_offline::mn_datatrack_Click);
    connect(Picreal, &SurfaceWidget::resized, this,
            [this] { track_.redraw(Picreal->surface(), source()); });
    connect(Picreal, &SurfaceWidget::mouseReleased, this,
            [this](Qt::MouseButton button, double, double) { Picreal_MouseUp(button); });
    connect(Picreal, &SurfaceWidget::resized, this, &Frm_offline::Picreal_Resize);
    wireTools();
}

void Frm_offline::open() {
    if (!opened_) {
        browser_.open();
        opened_ = true;
    } else {
        browser_.shown();
    }
    showControls();
    show();
    raise();
    activateWindow();
}

std::vector<int> Frm_offline::selectedLines() const {
    std::vector<int> rows;
    for (QListWidgetItem* item : Listpj->selectedItems())
        rows.push_back(Listpj->row(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void Frm_offline::showControls() {
    showing_ = true;
    const OfflineControls& c = browser_.c;
    if (c.lines != shownLines_) {
        Listpj->clear();
        QStringList items;
        items.reserve(static_cast<int>(c.lines.size()));
        for (const std::string& line : c.lines)
            items.append(displayLine(line));
        Listpj->addItems(items);
        shownLines_ = c.lines;
    }
    if (Listpj->currentRow() != c.listIndex) {
        Listpj->setCurrentRow(c.listIndex);
        if (c.listIndex >= 0) Listpj->scrollToItem(Listpj->item(c.listIndex));
    }
    lbl_orden->setText(q(c.lbl_orden));
    setIfDifferent(txt_search, c.txt_search);

    Cmd_report->setText(q(c.Cmd_report));
    Cmd_report->setEnabled(c.Cmd_reportEnabled);
    cmdchannels->setText(q(plots_.signalCaption));
    cmdchannels->setEnabled(c.cmdchannelsEnabled);
    Cmd_leegroups->setText(q(plots_.groupCaption));
    Cmd_leegroups->setEnabled(c.Cmd_leegroupsEnabled);
    Cmd_analyze->setEnabled(c.Cmd_analyzeEnabled && plots_.viewMode == offlineview::Signal);

    // The views' panels.
    const OfflinePanels& p = plots_.panels;
    for (QWidget* w : std::initializer_list<QWidget*>{Cmd_barplot, Cmd_gridplot, Cmd_lineplot}) {
        w->setVisible(p.plotButtons);
        // Nothing to plot before an acquisition is chosen.
        w->setEnabled(c.plotButtonsEnabled && !browser_.chosenFolder().empty());
    }
    lstgrup_plot->setVisible(p.plotGroupList);
    combogrup->setVisible(p.groupPicker);
    lstgrup->setVisible(p.wellList);
    for (QWidget* w : std::initializer_list<QWidget*>{lblcanal, Combofila, Combocol, txtsub})
        w->setVisible(p.wellList);
    fmranalizar->setVisible(p.analysisFrame);
    Pic_status->setVisible(p.progressBar);
    frm_bin->setVisible(p.binSizeFrame);
    txt_page->setVisible(p.pageControls);
    scrollpage->setVisible(p.pageControls);
    chk_bmp->setVisible(p.bmpCheck);
    Txt_description->setVisible(c.Txt_descriptionVisible && p.comments);
    cmd_track->setVisible(c.cmd_trackVisible);

    fillList(lstgrup_plot, plots_.plotGroups);
    if (plots_.plotGroupSelected < lstgrup_plot->count())
        lstgrup_plot->setCurrentRow(plots_.plotGroupSelected);
    fillCombo(combogrup, plots_.groupPicker);
    setIfDifferent(txt_page, plots_.pageBoxText);
    scrollpage->setRange(1, std::max(1, plots_.rawLayout.pageCount()));
    scrollpage->setValue(loadingPage_ > 0 ? loadingPage_ : plots_.currentPage);
    showPickers();

    if (Txt_description->toPlainText() != q(c.Txt_description))
        Txt_description->setPlainText(q(c.Txt_description));
    fillList(List_tags, c.List_tags);
    List_tags->setVisible(c.tagsVisible);
    lbl_tags->setVisible(c.tagsVisible);
    setIfDifferent(frmtxt_threshold, c.frmtxt_threshold);
    cmb_modeanalisis->setCurrentIndex(c.cmb_modeanalisis);
    for (int i = 0; i < kWatchedFolderCount; ++i)
        mnwatch[static_cast<size_t>(i)]->setText(q(c.watchCaptions[static_cast<size_t>(i)]));
    if (regroup_) applyEditingLayout();
    showing_ = false;
}

void Frm_offline::showPickers() {
    const SignalView& sv = plots_.picker;
    fillCombo(Combofila, plots_.rowLetters);
    fillCombo(Combocol, plots_.columnNumbers);
    Combofila->setCurrentText(q(sv.rowLetter));
    Combocol->setCurrentText(QString::number(sv.column));
    setIfDifferent(txtsub, sv.beamText);
    lblcanal->setText(QStringLiteral("Channel: %1").arg(sv.selectedChannel));
    std::vector<std::string> labels;
    labels.reserve(sv.members.size());
    for (const SignalView::Member& m : sv.members)
        labels.push_back(m.label);
    fillList(lstgrup, labels);
    lstgrup->setCurrentRow(sv.memberIndex);
}

void Frm_offline::Listpj_ContextMenu(const QPoint& at) {
    mn_tag->menuAction()->setVisible(browser_.tagMenuVisible());
    mnlist->popup(Listpj->viewport()->mapToGlobal(at));
}

void Frm_offline::hover(QLabel* label) {
    setColour(label, 0, 255, 0);
    Timer_button->start();
}

void Frm_offline::Timer_button_Timer() {
    for (QLabel* l : {lblproject, lbl_date, Cmd_main})
        setColour(l, 0, 0, 255);
    Timer_button->stop();
}

bool Frm_offline::eventFilter(QObject* watched, QEvent* e) {
    const auto type = e->type();
    if (watched == lblproject || watched == lbl_date || watched == Cmd_main) {
        auto* label = static_cast<QLabel*>(watched);
        if (type == QEvent::MouseMove || type == QEvent::Enter) hover(label);
        if (type == QEvent::MouseButtonRelease) {
            if (watched == lblproject)
                after([&] { browser_.lblproject_Click(); });
            else if (watched == lbl_date)
                after([&] { browser_.lbl_date_Click(); });
            else {
                browser_.Cmd_main_Click();
                hide();
            }
            return true;
        }
    } else if (watched == Listpj && type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            after([&] { browser_.activate(Listpj->currentRow()); });
            return true;
        }
    } else if ((watched == lstgrup || watched == lstgrup_plot) && type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == lstgrup_plot)
                lstgrup_plot_DblClick();
            else
                lstgrup_DblClick();
            return true;
        }
    } else if (watched == Txt_description && type == QEvent::FocusOut) {
        browser_.Txt_description_LostFocus();
    }
    return QMainWindow::eventFilter(watched, e);
}

OfflineSource Frm_offline::source() const {
    const OfflineControls& c = browser_.c;
    return OfflineSource{browser_.chosenFolder(), config_,
                         PlotHeader{c.headerProject, c.headerAcquisition, c.headerConfig}};
}

void Frm_offline::closeEvent(QCloseEvent* e) {
    stopPageLoad();
    if (regroup_) leaveGroupEditor(false);
    browser_.closing();
    plots_.signalCaption = "Channel Signal";
    plots_.groupCaption = "[Group Activity]";
    showControls();
    e->accept();
}

// The views of the chosen acquisition. "[Group Activity]" is also what
// choosing an acquisition draws.
void Frm_offline::Cmd_leegroups_Click() {
    after([&] {
        stopPageLoad();
        if (browser_.hooks().showGroupActivity) browser_.hooks().showGroupActivity();
    });
}

void Frm_offline::Cmd_barplot_Click() {
    after([&] {
        stopPageLoad();
        txt_bin->setText(QStringLiteral("5"));
        plots_.showBarPlot(Picreal->surface(), source(), ports_.prompter);
    });
}

void Frm_offline::Cmd_gridplot_Click() {
    after([&] {
        stopPageLoad();
        plots_.showHeatmap(Picreal->surface(), source(), ports_.prompter);
    });
}

void Frm_offline::cmdchannels_Click() {
    after([&] {
        stopPageLoad();
        plots_.openChannelSignalView(source());
        // The well list shows the wells of the group the picker shows.
        const int group = combogrup->currentIndex();
        if (plots_.picker.members.empty() && group >= 0 &&
            group < static_cast<int>(plots_.groupPicker.size()))
            plots_.groupPicked(plots_.groupPicker[static_cast<size_t>(group)], config_);
        if (plots_.rawLayout.pageCount() > 0) loadPage(1);
    });
}

void Frm_offline::scrollpage_Change(int value) {
    if (showing_) return;
    after([&] {
        const int page = plots_.pageRequested(value);
        if (page > 0 && page != loadingPage_) loadPage(page);
    });
}

void Frm_offline::loadPage(int page) {
    stopPageLoad();
    const int request = pageRequest_;
    loadingPage_ = page;
    Pic_status->setRange(0, 100);
    Pic_status->setValue(0);
    const std::string folder = browser_.chosenFolder();
    const RawPageLayout layout = plots_.rawLayout;
    const int samples = config_.rawBlockSamples();
    pageThread_ = std::thread([this, request, folder, layout, page, samples] {
        auto progress = [this, request](int done, int files) {
            QMetaObject::invokeMethod(
                this,
                [this, request, done, files] {
                    if (request == pageRequest_)
                        Pic_status->setValue(done * 100 / std::max(1, files));
                },
                Qt::QueuedConnection);
        };
        auto loaded = std::make_shared<RawPage>(
            loadRawPage(folder, layout, page, samples, progress, &pageCancel_));
        QMetaObject::invokeMethod(
            this, [this, request, loaded] { pageLoaded(request, std::move(*loaded)); },
            Qt::QueuedConnection);
    });
}

void Frm_offline::pageLoaded(int request, RawPage page) {
    if (request != pageRequest_) return;
    if (pageThread_.joinable()) pageThread_.join();
    loadingPage_ = 0;
    if (plots_.viewMode == offlineview::Signal)
        after([&] { plots_.showRawPage(std::move(page), Picreal->surface(), source()); });
}

void Frm_offline::stopPageLoad() {
    pageCancel_ = true;
    if (pageThread_.joinable()) pageThread_.join();
    pageCancel_ = false;
    ++pageRequest_;
    loadingPage_ = 0;
}

void Frm_offline::Picreal_Resize() {
    // A drag resizes many times: the view is drawn once the size settles.
    if (redrawPending_ || browser_.chosenFolder().empty()) return;
    redrawPending_ = true;
    QTimer::singleShot(50, this, [this] {
        redrawPending_ = false;
        if (browser_.chosenFolder().empty()) return;
        CollectingPrompter quiet; // the view's messages were shown when it was chosen
        plots_.redraw(Picreal->surface(), source(), quiet);
    });
}

void Frm_offline::combogrup_Click(int index) {
    after([&] {
        if (index >= 0 && index < static_cast<int>(plots_.groupPicker.size()))
            plots_.groupPicked(plots_.groupPicker[static_cast<size_t>(index)], config_);
    });
}

void Frm_offline::lstgrup_DblClick() {
    after([&] {
        plots_.wellPicked(lstgrup->currentRow(), Picreal->surface(), source(), ports_.prompter);
    });
}

void Frm_offline::lstgrup_plot_DblClick() {
    if (plots_.viewMode == offlineview::Line) return lineGroupChosen();
    after([&] {
        const int row = lstgrup_plot->currentRow();
        if (!plots_.plotGroupChosen(row, Picreal->surface(), source(), ports_.prompter) &&
            views.plotGroupChosen)
            views.plotGroupChosen(row);
    });
}

void Frm_offline::Combofila_Click() {
    after([&] {
        plots_.rowPicked(Combofila->currentText().toStdString(), Picreal->surface(), source());
    });
}

void Frm_offline::Combocol_Click() {
    after([&] {
        plots_.columnPicked(Combocol->currentText().toInt(), Picreal->surface(), source());
    });
}

void Frm_offline::txtsub_LostFocus() {
    if (showing_) return;
    after([&] { plots_.beamChanged(txtsub->text().toStdString(), Picreal->surface(), source()); });
}

void Frm_offline::Cmd_analyze_Click() {
    after([&] {
        if (views.analyze) views.analyze();
    });
}

// "Analyze": the detection again over the picked well's page, with the
// frame's threshold and method.
void Frm_offline::analyze() {
    if (plots_.viewMode != offlineview::Signal) return;
    OfflineControls& c = browser_.c;
    const RawAnalysisResult r =
        Dibujar_analisis(Picreal->surface(), plots_, source(), c.frmtxt_threshold,
                         c.cmb_modeanalisis, &ports_.status);
    if (r.thresholdReplaced) c.frmtxt_threshold = kDefaultThresholdText;
}

// --- the track view ---------------------------------------------------------------

// The session reads the threshold box and the ".bmp" box before each event,
// and the box shows "1.8" again when it was out of range.
void Frm_offline::trackControlsIn() {
    track_.thresholdText = browser_.c.frmtxt_threshold;
    track_.bmpChecked = chk_bmp->isChecked();
}

void Frm_offline::trackControlsOut() {
    browser_.c.frmtxt_threshold = track_.thresholdText;
    if (track_.playing())
        Timer_play->start();
    else
        Timer_play->stop();
}

void Frm_offline::cmd_track_Click() {
    after([&] {
        trackControlsIn();
        track_.cmd_track_Click(Picreal->surface(), source(), ports_);
        trackControlsOut();
    });
}

void Frm_offline::Timer_play_Timer() {
    trackControlsIn();
    track_.Timer_play_Timer(Picreal->surface(), source(), ports_);
    if (track_.playing()) {
        setIfDifferent(txt_page, plots_.pageBoxText);
        return;
    }
    // The end, or another view took the surface.
    after([&] { trackControlsOut(); });
}

void Frm_offline::mn_datatrack_Click() {
    after([&] {
        trackControlsIn();
        Timer_play->stop();
        track_.mn_datatrack_Click(source(), ports_);
        trackControlsOut();
    });
}

void Frm_offline::Picreal_MouseUp(Qt::MouseButton button) {
    if (button != Qt::RightButton) return;
    if (plots_.viewMode == offlineview::Track && track_.analysis()) mntrack->popup(QCursor::pos());
}

} // namespace trv
