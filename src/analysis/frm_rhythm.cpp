#include "analysis/frm_rhythm.h"

#include "analysis/RhythmPlot.h"
#include "common/Numeric.h"
#include "display/NamedWidgetQt.h"
#include "display/SurfaceExport.h"
#include "display/SurfaceQt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace trv {

namespace {

constexpr int kBinChoices[] = {1, 2, 3, 4, 5, 6, 10, 12, 15, 20, 30, 60};

QTableWidget* table(QWidget* parent, const char* name, const QStringList& head) {
    auto* t = named(new QTableWidget(0, static_cast<int>(head.size()), parent), name);
    t->setHorizontalHeaderLabels(head);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    return t;
}

void setRow(QTableWidget* t, int row, const std::vector<std::string>& cells) {
    for (size_t c = 0; c < cells.size(); ++c)
        t->setItem(row, static_cast<int>(c), new QTableWidgetItem(q(cells[c])));
}

} // namespace

frm_rhythm::frm_rhythm(Ports& ports, QWidget* parent)
    : QWidget(parent, Qt::Window), ports_(ports),
      light_(this, "chk_rhythmlight", "spn_rhythmon", "spn_rhythmoff") {
    setObjectName(QStringLiteral("frm_rhythm"));
    setWindowTitle(QStringLiteral("Rhythm"));
    build();
    resize(1300, 860);
}

frm_rhythm::~frm_rhythm() = default;

void frm_rhythm::build() {
    auto* root = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    cbo_rhythmbin = named(new QComboBox(this), "cbo_rhythmbin");
    for (int b : kBinChoices)
        cbo_rhythmbin->addItem(QString::number(b), b);
    spn_rhythmfrom = analysisSpin(this, "spn_rhythmfrom", 0, 366 * 24, 0);
    spn_rhythmto = analysisSpin(this, "spn_rhythmto", 0, 366 * 24, 0);
    spn_rhythmto->setSpecialValueText(QStringLiteral("end"));
    spn_rhythmpmin = analysisSpin(this, "spn_rhythmpmin", 1, 100, 16);
    spn_rhythmpmax = analysisSpin(this, "spn_rhythmpmax", 1, 100, 32);
    spn_rhythmalpha = named(new QDoubleSpinBox(this), "spn_rhythmalpha");
    spn_rhythmalpha->setDecimals(4);
    spn_rhythmalpha->setRange(0.0001, 0.4999);
    spn_rhythmalpha->setSingleStep(0.01);
    spn_rhythmactobin = analysisSpin(this, "spn_rhythmactobin", 1, 1440, 30);
    chk_rhythmlight = light_.check;
    spn_rhythmon = light_.on;
    spn_rhythmoff = light_.off;
    chk_rhythmperwell =
        named(new QCheckBox(QStringLiteral("Actogram per well"), this), "chk_rhythmperwell");
    int c = 0;
    auto add = [&](const char* label, QWidget* w) {
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), 0, c++);
        grid->addWidget(w, 0, c++);
    };
    add("Bin (min):", cbo_rhythmbin);
    add("From hour:", spn_rhythmfrom);
    add("to:", spn_rhythmto);
    add("Periods (h):", spn_rhythmpmin);
    add("to", spn_rhythmpmax);
    add("Alpha:", spn_rhythmalpha);
    add("Actogram bin (min):", spn_rhythmactobin);
    light_.addTo(grid, 0, c);
    grid->addWidget(chk_rhythmperwell, 0, c++);
    cmd_rhythmcalc = named(new QPushButton(QStringLiteral("Calculate"), this), "cmd_rhythmcalc");
    cmd_rhythmsave = named(new QPushButton(QStringLiteral("Save"), this), "cmd_rhythmsave");
    cmd_rhythmcalc->setDefault(true);
    grid->setColumnStretch(c, 1);
    grid->addWidget(cmd_rhythmcalc, 0, ++c);
    grid->addWidget(cmd_rhythmsave, 0, ++c);
    lbl_rhythmschedule = named(new QLabel(this), "lbl_rhythmschedule");
    grid->addWidget(lbl_rhythmschedule, 1, 0, 1, c - 3);
    prg_rhythm = named(new QProgressBar(this), "prg_rhythm");
    grid->addWidget(prg_rhythm, 1, c - 3, 1, 4);
    root->addLayout(grid);

    auto* pickRow = new QHBoxLayout;
    pickRow->addWidget(new QLabel(QStringLiteral("Actogram of:"), this));
    cbo_rhythmplot = named(new QComboBox(this), "cbo_rhythmplot");
    cbo_rhythmplot->setMinimumContentsLength(24);
    pickRow->addWidget(cbo_rhythmplot);
    pickRow->addStretch(1);
    root->addLayout(pickRow);

    auto* plots = new QHBoxLayout;
    pic_rhythmactogram = named(new SurfaceWidget(this), "pic_rhythmactogram");
    pic_rhythmactogram->setMinimumSize(520, 300);
    pic_rhythmperiodogram = named(new SurfaceWidget(this), "pic_rhythmperiodogram");
    pic_rhythmperiodogram->setMinimumSize(320, 240);
    plots->addWidget(pic_rhythmactogram, 3);
    plots->addWidget(pic_rhythmperiodogram, 2);
    root->addLayout(plots, 3);

    auto* tables = new QHBoxLayout;
    grd_rhythmgroups =
        table(this, "grd_rhythmgroups",
              {QStringLiteral("Group"), QStringLiteral("Tested"), QStringLiteral("Rhythmic"),
               QStringLiteral("Period (h)"), QStringLiteral("Index")});
    grd_rhythmwells =
        table(this, "grd_rhythmwells",
              {QStringLiteral("Well"), QStringLiteral("Label"), QStringLiteral("Group"),
               QStringLiteral("Status"), QStringLiteral("Period (h)"), QStringLiteral("Qp"),
               QStringLiteral("Threshold"), QStringLiteral("Index"), QStringLiteral("Rhythmic"),
               QStringLiteral("LS period (h)"), QStringLiteral("LS p")});
    tables->addWidget(grd_rhythmgroups, 2);
    tables->addWidget(grd_rhythmwells, 5);
    root->addLayout(tables, 2);
    txt_rhythmmessages = named(new QPlainTextEdit(this), "txt_rhythmmessages");
    txt_rhythmmessages->setReadOnly(true);
    txt_rhythmmessages->setMaximumHeight(70);
    root->addWidget(txt_rhythmmessages);

    mn_rhythmplot = named(new QMenu(this), "mn_rhythmplot");
    QAction* bmp = mn_rhythmplot->addAction(QStringLiteral("Export .BMP"));
    bmp->setObjectName(QStringLiteral("mn_rhythmbmp"));
    connect(bmp, &QAction::triggered, this, [this] {
        if (menuPlot_)
            exportPlot(menuPlot_, menuPlot_ == pic_rhythmactogram ? kActogramImageFile
                                                                  : kPeriodogramImageFile);
    });
    job_ = std::make_unique<AnalysisJob>(prg_rhythm);

    connect(cmd_rhythmcalc, &QPushButton::clicked, this, [this] { run(false); });
    connect(cmd_rhythmsave, &QPushButton::clicked, this, [this] { run(true); });
    connect(cbo_rhythmplot, &QComboBox::currentIndexChanged, this, [this] { drawPlots(); });
    for (SurfaceWidget* plot : {pic_rhythmactogram, pic_rhythmperiodogram}) {
        connect(plot, &SurfaceWidget::resized, this, [this] { drawPlots(); });
        connect(plot, &SurfaceWidget::mousePressed, this,
                [this, plot](Qt::MouseButton b, double, double) {
                    if (b != Qt::RightButton || !outcome_.result) return;
                    menuPlot_ = plot;
                    mn_rhythmplot->popup(QCursor::pos());
                });
    }
    // A row of a table shows its group or well.
    connect(grd_rhythmgroups, &QTableWidget::cellClicked, this,
            [this](int row, int) { cbo_rhythmplot->setCurrentIndex(row); });
    connect(grd_rhythmwells, &QTableWidget::cellClicked, this, [this](int row, int) {
        cbo_rhythmplot->setCurrentIndex(grd_rhythmgroups->rowCount() + row);
    });
}

RhythmRequest frm_rhythm::request() const {
    RhythmRequest rq;
    rq.acquisitionPath = acquisitionPath_;
    rq.programFolder = programFolder_;
    RhythmParameters& p = rq.parameters;
    p.binMinutes = cbo_rhythmbin->currentData().toInt();
    p.fromHour = spn_rhythmfrom->value();
    if (spn_rhythmto->value() > 0) p.toHour = spn_rhythmto->value();
    p.periodMinHours = spn_rhythmpmin->value();
    p.periodMaxHours = spn_rhythmpmax->value();
    p.alpha = spn_rhythmalpha->value();
    p.actogramBinMinutes = spn_rhythmactobin->value();
    light_.take(p.lightOn, p.lightOff);
    rq.perWell = chk_rhythmperwell->isChecked();
    return rq;
}

void frm_rhythm::open(const std::string& acquisitionPath, const std::string& programFolder) {
    show();
    raise();
    activateWindow();
    if (busy()) {
        pendingOpen_ = {acquisitionPath, programFolder};
        return;
    }
    acquisitionPath_ = acquisitionPath;
    programFolder_ = programFolder;
    const RhythmParameters p;
    cbo_rhythmbin->setCurrentIndex(cbo_rhythmbin->findData(p.binMinutes));
    spn_rhythmfrom->setValue(p.fromHour);
    spn_rhythmto->setValue(0);
    spn_rhythmpmin->setValue(p.periodMinHours);
    spn_rhythmpmax->setValue(p.periodMaxHours);
    spn_rhythmalpha->setValue(p.alpha);
    spn_rhythmactobin->setValue(p.actogramBinMinutes);
    chk_rhythmlight->setChecked(false);
    chk_rhythmperwell->setChecked(false);
    outcome_ = {};
    cbo_rhythmplot->clear();
    run(false);
}

void frm_rhythm::run(bool save) {
    if (busy()) return;
    const RhythmRequest rq = request();
    cmd_rhythmcalc->setEnabled(false);
    cmd_rhythmsave->setEnabled(false);
    txt_rhythmmessages->setPlainText(QStringLiteral("Analysing..."));
    auto out = std::make_shared<RhythmOutcome>();
    auto messages = std::make_shared<std::vector<std::string>>();
    job_->start(
        [rq, out, messages](const SleepProgress& progress) {
            CollectingPrompter prompter;
            *out = computeRhythm(rq, prompter, progress);
            *messages = prompter.messages;
        },
        [this, rq, out, messages, save] {
            outcome_ = std::move(*out);
            if (save && outcome_.result) writeRhythmFiles(rq, ports_.locale, outcome_);
            if (outcome_.result && !chk_rhythmlight->isChecked())
                light_.show(outcome_.result->schedule);
            cmd_rhythmcalc->setEnabled(true);
            cmd_rhythmsave->setEnabled(true);
            showResult();
            txt_rhythmmessages->setPlainText(
                q(analysisMessages(*messages, outcome_.files, outcome_.error)));
            if (pendingOpen_) {
                const auto [path, folder] = *pendingOpen_;
                pendingOpen_.reset();
                open(path, folder);
            }
        });
}

void frm_rhythm::showResult() {
    grd_rhythmgroups->setRowCount(0);
    grd_rhythmwells->setRowCount(0);
    const int picked = cbo_rhythmplot->currentIndex();
    {
        const QSignalBlocker block(cbo_rhythmplot);
        cbo_rhythmplot->clear();
        if (!outcome_.result) {
            lbl_rhythmschedule->setText(QString());
        } else {
            const RhythmResult& r = *outcome_.result;
            lbl_rhythmschedule->setText(q("Light schedule: " + r.schedule.describe() +
                                          ". Series from minute " + std::to_string(r.fromMinute) +
                                          " to " + std::to_string(r.toMinute) + "."));
            for (const RhythmGroupResult& g : r.groups)
                cbo_rhythmplot->addItem(q(rhythmGroupName(g) + " (group mean)"));
            for (const SeriesWell& w : r.minutes.wells)
                cbo_rhythmplot->addItem(q(w.label + " (well " + std::to_string(w.well) + ")"));
            cbo_rhythmplot->setCurrentIndex(picked >= 0 && picked < cbo_rhythmplot->count() ? picked
                                                                                            : 0);
        }
    }
    if (!outcome_.result) {
        drawPlots();
        return;
    }
    const RhythmResult& r = *outcome_.result;
    const std::string mark = ports_.locale.decimalSeparator();
    auto num = [&](const std::optional<double>& v, int decimals) {
        return v ? withDecimalMark(fixedDecimals(*v, decimals), mark) : std::string();
    };
    auto meanSd = [&](const std::optional<double>& mean, const std::optional<double>& sd,
                      int decimals) {
        std::string t = num(mean, decimals);
        if (sd) t += " \u00b1 " + num(sd, decimals);
        return t;
    };
    int row = 0;
    for (const RhythmGroupResult& g : r.groups) {
        grd_rhythmgroups->insertRow(row);
        setRow(grd_rhythmgroups, row++,
               {rhythmGroupName(g), std::to_string(g.wellsTested), std::to_string(g.wellsRhythmic),
                meanSd(g.meanPeriod, g.sdPeriod, 2), meanSd(g.meanIndex, g.sdIndex, 2)});
    }
    row = 0;
    for (const RhythmWellResult& w : r.wells) {
        const SeriesWell& sw = r.minutes.wells[w.position];
        grd_rhythmwells->insertRow(row);
        setRow(grd_rhythmwells, row++,
               {std::to_string(sw.well), sw.label, sw.groupName, rhythmWellStatus(r, w),
                num(w.chiPeriod, 1), num(w.chiQp, 1), num(w.chiThreshold, 1), num(w.index, 2),
                w.tested ? (w.rhythmic ? "yes" : "no") : "", num(w.lsPeriod, 1),
                num(w.lsPValue, 4)});
    }
    grd_rhythmgroups->resizeColumnsToContents();
    grd_rhythmwells->resizeColumnsToContents();
    drawPlots();
}

void frm_rhythm::drawPlots() {
    Surface& acto = pic_rhythmactogram->surface();
    Surface& pg = pic_rhythmperiodogram->surface();
    const int picked = cbo_rhythmplot->currentIndex();
    if (!outcome_.result || picked < 0) {
        for (Surface* s : {&acto, &pg}) {
            s->setScale(0, 0, 1, 1);
            s->clear();
        }
        return;
    }
    const RhythmResult& r = *outcome_.result;
    const std::string mark = ports_.locale.decimalSeparator();
    const size_t groups = r.groups.size();
    const size_t k = static_cast<size_t>(picked);
    if (k < groups) {
        Dibujar_actogram(acto, groupActogram(r, r.groups[k]));
        Dibujar_periodogram(pg, r.groups[k].meanPeriodogram, groupPeriodogramTitle(r.groups[k]),
                            mark);
    } else if (k - groups < r.wells.size()) {
        Dibujar_actogram(acto, wellActogram(r, k - groups));
        Dibujar_periodogram(pg, r.wells[k - groups].periodogram,
                            wellPeriodogramTitle(r, k - groups), mark);
    }
}

void frm_rhythm::exportPlot(SurfaceWidget* plot, const char* fileName) {
    exportSurfaceBmp(plot->surface(), programFolder_, fileName, ports_);
}

void openRhythmWindow(QWidget& browser, Ports& ports, const std::string& acquisitionPath,
                      const std::string& programFolder) {
    analysisWindow<frm_rhythm>(browser, ports).open(acquisitionPath, programFolder);
}

} // namespace trv
