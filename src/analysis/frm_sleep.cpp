#include "analysis/frm_sleep.h"

#include "analysis/SleepPlot.h"
#include "common/Numeric.h"
#include "display/NamedWidgetQt.h"
#include "display/SurfaceQt.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <climits>

namespace trv {

frm_sleep::frm_sleep(Ports& ports, QWidget* parent)
    : QWidget(parent, Qt::Window), ports_(ports),
      light_(this, "chk_sleeplight", "spn_sleepon", "spn_sleepoff") {
    setObjectName(QStringLiteral("frm_sleep"));
    setWindowTitle(QStringLiteral("Sleep"));
    build();
    resize(1200, 680);
}

void frm_sleep::build() {
    auto* root = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    spn_sleepbin = analysisSpin(this, "spn_sleepbin", 1, 1440, 1);
    spn_sleepthreshold = analysisSpin(this, "spn_sleepthreshold", 0, INT_MAX, 0);
    spn_sleepminbout = analysisSpin(this, "spn_sleepminbout", 1, 366 * 1440, 1);
    spn_sleepdead = analysisSpin(this, "spn_sleepdead", 1, 366 * 24, 24);
    chk_sleeplight = light_.check;
    spn_sleepon = light_.on;
    spn_sleepoff = light_.off;
    lbl_sleepschedule = named(new QLabel(this), "lbl_sleepschedule");
    int c = 0;
    auto add = [&](const char* label, QWidget* w) {
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), 0, c++);
        grid->addWidget(w, 0, c++);
    };
    add("Bin (min):", spn_sleepbin);
    add("Threshold:", spn_sleepthreshold);
    add("Minimum bout (min):", spn_sleepminbout);
    add("Dead after (h):", spn_sleepdead);
    light_.addTo(grid, 0, c);
    cmd_sleepcalc = named(new QPushButton(QStringLiteral("Calculate"), this), "cmd_sleepcalc");
    cmd_sleepsave = named(new QPushButton(QStringLiteral("Save"), this), "cmd_sleepsave");
    cmd_sleepcalc->setDefault(true);
    grid->setColumnStretch(c, 1);
    grid->addWidget(cmd_sleepcalc, 0, ++c);
    grid->addWidget(cmd_sleepsave, 0, ++c);
    grid->addWidget(lbl_sleepschedule, 1, 0, 1, c + 1);
    root->addLayout(grid);

    auto* body = new QHBoxLayout;
    grd_sleepgroups = named(new QTableWidget(0, 9, this), "grd_sleepgroups");
    grd_sleepgroups->setHorizontalHeaderLabels(
        {QStringLiteral("Group"), QStringLiteral("Phase"), QStringLiteral("Start"),
         QStringLiteral("Wells"), QStringLiteral("Sleep (min)"), QStringLiteral("Bouts"),
         QStringLiteral("Bout (min)"), QStringLiteral("Latency (min)"),
         QStringLiteral("Activity / waking min")});
    grd_sleepgroups->verticalHeader()->hide();
    grd_sleepgroups->setEditTriggers(QAbstractItemView::NoEditTriggers);
    body->addWidget(grd_sleepgroups, 4);
    pic_sleepprofile = named(new SurfaceWidget(this), "pic_sleepprofile");
    pic_sleepprofile->setMinimumSize(560, 320);
    body->addWidget(pic_sleepprofile, 5);
    root->addLayout(body, 1);
    txt_sleepmessages = named(new QPlainTextEdit(this), "txt_sleepmessages");
    txt_sleepmessages->setReadOnly(true);
    txt_sleepmessages->setMaximumHeight(70);
    root->addWidget(txt_sleepmessages);

    connect(cmd_sleepcalc, &QPushButton::clicked, this, [this] { calculate(); });
    connect(cmd_sleepsave, &QPushButton::clicked, this, [this] { save(); });
    connect(pic_sleepprofile, &SurfaceWidget::resized, this, [this] { drawProfile(); });
}

SleepRequest frm_sleep::request() const {
    SleepRequest rq;
    rq.acquisitionPath = acquisitionPath_;
    rq.programFolder = programFolder_;
    SleepParameters& p = rq.parameters;
    p.binMinutes = spn_sleepbin->value();
    p.threshold = spn_sleepthreshold->value();
    p.minBout = spn_sleepminbout->value();
    p.deadWindowHours = spn_sleepdead->value();
    light_.take(p.lightOn, p.lightOff);
    return rq;
}

void frm_sleep::open(const std::string& acquisitionPath, const std::string& programFolder) {
    acquisitionPath_ = acquisitionPath;
    programFolder_ = programFolder;
    SleepRequest rq;
    rq.acquisitionPath = acquisitionPath;
    rq.programFolder = programFolder;
    CollectingPrompter prompter;
    outcome_ = computeSleep(rq, prompter);
    if (outcome_.result) {
        // The parameters the analysis took: the minimum bout of the organism.
        const SleepResult& r = *outcome_.result;
        spn_sleepbin->setValue(r.parameters.binMinutes);
        spn_sleepthreshold->setValue(static_cast<int>(r.parameters.threshold));
        spn_sleepminbout->setValue(r.minBout);
        spn_sleepdead->setValue(r.parameters.deadWindowHours);
        light_.show(r.schedule);
    }
    showResult();
    txt_sleepmessages->setPlainText(q(analysisMessages(prompter.messages, {}, outcome_.error)));
    show();
    raise();
    activateWindow();
}

void frm_sleep::calculate() {
    CollectingPrompter prompter;
    outcome_ = computeSleep(request(), prompter);
    showResult();
    txt_sleepmessages->setPlainText(q(analysisMessages(prompter.messages, {}, outcome_.error)));
}

void frm_sleep::save() {
    const SleepRequest rq = request();
    CollectingPrompter prompter;
    outcome_ = computeSleep(rq, prompter);
    showResult();
    if (outcome_.result) writeSleepFiles(rq, ports_.locale, outcome_);
    txt_sleepmessages->setPlainText(
        q(analysisMessages(prompter.messages, outcome_.files, outcome_.error)));
}

void frm_sleep::showResult() {
    grd_sleepgroups->setRowCount(0);
    if (!outcome_.result) {
        lbl_sleepschedule->setText(QString());
        drawProfile();
        return;
    }
    const SleepResult& r = *outcome_.result;
    lbl_sleepschedule->setText(q("Light schedule: " + r.schedule.describe() + ". Minimum bout " +
                                 std::to_string(r.minBout) + " min (" + r.minBoutSource + ")."));
    const std::string mark = ports_.locale.decimalSeparator();
    auto meanSd = [&](const SleepGroupResult::Summary& s) {
        if (!s.mean) return std::string();
        std::string t = withDecimalMark(fixedDecimals(*s.mean, 1), mark);
        if (s.sd) t += " \u00b1 " + withDecimalMark(fixedDecimals(*s.sd, 1), mark);
        return t;
    };
    int row = 0;
    for (const SleepGroupResult& g : r.groups)
        for (size_t k = 0; k < r.phases.size(); ++k, ++row) {
            grd_sleepgroups->insertRow(row);
            const auto& f = g.phases[k];
            const std::string cells[] = {
                g.name.empty() ? std::to_string(g.group) : g.name,
                r.phases[k].name,
                clockText(r.series.clockMinute(static_cast<long long>(r.phases[k].firstBin) *
                                               r.series.binMinutes)),
                std::to_string(g.wellsUsed),
                meanSd(f[kSleepMinutes]),
                meanSd(f[kBouts]),
                meanSd(f[kMeanBout]),
                meanSd(f[kLatency]),
                meanSd(f[kWakeActivity])};
            for (int c = 0; c < 9; ++c)
                grd_sleepgroups->setItem(row, c, new QTableWidgetItem(q(cells[c])));
        }
    grd_sleepgroups->resizeColumnsToContents();
    drawProfile();
}

void frm_sleep::drawProfile() {
    Surface& s = pic_sleepprofile->surface();
    if (!outcome_.result) {
        s.setScale(0, 0, 1, 1);
        s.clear();
        return;
    }
    Dibujar_sleepprofile(s, *outcome_.result, ports_.locale.decimalSeparator());
}

void openSleepWindow(QWidget& browser, Ports& ports, const std::string& acquisitionPath,
                     const std::string& programFolder) {
    analysisWindow<frm_sleep>(browser, ports).open(acquisitionPath, programFolder);
}

} // namespace trv
