#include "analysis/AnalysisControlsQt.h"

#include "display/NamedWidgetQt.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QProgressBar>
#include <QSpinBox>
#include <QThread>

#include <algorithm>

namespace trv {

QSpinBox* analysisSpin(QWidget* parent, const char* name, int min, int max, int value) {
    auto* s = named(new QSpinBox(parent), name);
    s->setRange(min, max);
    s->setValue(value);
    return s;
}

LightHoursControls::LightHoursControls(QWidget* parent, const char* checkName, const char* onName,
                                       const char* offName)
    : check(named(new QCheckBox(QStringLiteral("Light on/off at"), parent), checkName)),
      on(analysisSpin(parent, onName, 0, 23, 8)), off(analysisSpin(parent, offName, 0, 23, 20)) {
    auto enable = [c = check, a = on, b = off] {
        a->setEnabled(c->isChecked());
        b->setEnabled(c->isChecked());
    };
    enable();
    QObject::connect(check, &QCheckBox::toggled, parent, enable);
}

void LightHoursControls::addTo(QGridLayout* grid, int row, int& c) const {
    grid->addWidget(check, row, c++);
    grid->addWidget(on, row, c++);
    grid->addWidget(off, row, c++);
}

void LightHoursControls::take(std::optional<int>& lightOn, std::optional<int>& lightOff) const {
    lightOn.reset();
    lightOff.reset();
    if (!check->isChecked()) return;
    lightOn = on->value();
    lightOff = off->value();
}

void LightHoursControls::show(const LightSchedule& schedule) const {
    check->setChecked(false);
    if (!schedule.present()) return;
    on->setValue(schedule.on);
    off->setValue(schedule.off);
}

std::string analysisMessages(const std::vector<std::string>& messages,
                             const std::vector<std::string>& written, const std::string& error) {
    std::string text;
    for (const std::string& m : messages)
        text += m + "\n";
    for (const std::string& f : written)
        text += "Written: " + f + "\n";
    return text + error;
}

AnalysisJob::AnalysisJob(QProgressBar* bar) : bar_(bar) {
    bar_->setRange(0, 1000);
    bar_->hide();
    timer_.setInterval(100);
    QObject::connect(&timer_, &QTimer::timeout, bar_, [this] { bar_->setValue(permille_); });
}

AnalysisJob::~AnalysisJob() {
    if (!thread_) return;
    thread_->wait();
    delete thread_;
}

void AnalysisJob::start(std::function<void(const SleepProgress&)> work,
                        std::function<void()> done) {
    if (thread_) return;
    permille_ = 0;
    bar_->setValue(0);
    bar_->show();
    thread_ = QThread::create([this, work = std::move(work)] {
        work([this](double part, double total, const std::string&) {
            permille_ = total > 0 ? std::clamp(static_cast<int>(1000 * part / total), 0, 1000) : 0;
        });
    });
    // finished comes from the thread; the bar's thread runs the rest.
    QObject::connect(thread_, &QThread::finished, bar_, [this, done = std::move(done)] {
        thread_->wait();
        thread_->deleteLater();
        thread_ = nullptr;
        timer_.stop();
        bar_->hide();
        done();
    });
    timer_.start();
    thread_->start();
}

} // namespace trv
