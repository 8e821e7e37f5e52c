#include "reports/ReportOptionControlsQt.h"

#include "display/NamedWidgetQt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace trv {

namespace {

// One button per entry, named objectName and numbered by the "index"
// property; radio buttons also join group under that number.
template <typename Button>
QList<Button*> makeButtons(QGroupBox* box, const std::vector<std::string>& entries,
                           const char* objectName, QButtonGroup* group) {
    QList<Button*> out;
    for (size_t i = 0; i < entries.size(); ++i) {
        auto* b = new Button(q(entries[i]), box);
        b->setObjectName(QString::fromLatin1(objectName));
        b->setProperty("index", static_cast<int>(i));
        if (group) group->addButton(b, static_cast<int>(i));
        out.append(b);
    }
    return out;
}

} // namespace

void ReportOptionControls::build(QWidget* parent, const std::vector<std::string>& outputEntries) {
    fileBox = new QGroupBox(QStringLiteral("File:"), parent);
    auto* fl = new QGridLayout(fileBox);
    Option_report = makeButtons<QRadioButton>(fileBox, fileTypeEntries(), "Option_report",
                                              new QButtonGroup(fileBox));
    for (int i = 0; i < Option_report.size(); ++i)
        fl->addWidget(Option_report[i], i, 0, 1, 2);
    fl->addWidget(new QLabel(QStringLiteral("spacer ="), fileBox), 2, 0);
    txt_customspacer = new QLineEdit(fileBox);
    txt_customspacer->setObjectName(QStringLiteral("txt_customspacer"));
    txt_customspacer->setMaximumWidth(50);
    fl->addWidget(txt_customspacer, 2, 1);

    outputBox = new QGroupBox(QStringLiteral("Output format:"), parent);
    auto* ol = new QVBoxLayout(outputBox);
    Option_output = makeButtons<QRadioButton>(outputBox, outputEntries, "Option_output",
                                              new QButtonGroup(outputBox));
    for (QRadioButton* r : Option_output)
        ol->addWidget(r);

    statBox = new QGroupBox(QStringLiteral("Group Statistics:"), parent);
    auto* sl = new QVBoxLayout(statBox);
    Chk_statistic = makeButtons<QCheckBox>(statBox, statisticEntries(), "Chk_statistic", nullptr);
    for (QCheckBox* c : Chk_statistic)
        sl->addWidget(c);
}

void ReportOptionControls::show(const ReportOptionFields& f) const {
    for (int i = 0; i < Option_report.size(); ++i)
        Option_report[i]->setChecked(f.fileType == i);
    if (txt_customspacer->text() != q(f.spacer)) txt_customspacer->setText(q(f.spacer));
    for (int i = 0; i < Option_output.size(); ++i)
        Option_output[i]->setChecked(f.outputFormat == i);
    for (int i = 0; i < Chk_statistic.size(); ++i)
        Chk_statistic[i]->setChecked(f.statistics[static_cast<size_t>(i)]);
}

void ReportOptionControls::read(ReportOptionFields& f) const {
    for (int i = 0; i < Option_report.size(); ++i)
        if (Option_report[i]->isChecked()) f.fileType = i;
    f.spacer = txt_customspacer->text().toStdString();
    for (int i = 0; i < Option_output.size(); ++i)
        if (Option_output[i]->isChecked()) f.outputFormat = i;
    for (int i = 0; i < Chk_statistic.size(); ++i)
        f.statistics[static_cast<size_t>(i)] = Chk_statistic[i]->isChecked();
}

} // namespace trv
