#include "analysis/frm_doseresponse.h"

#include "analysis/DosePlot.h"
#include "display/NamedWidgetQt.h"
#include "display/SurfaceQt.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace trv {

namespace {

enum Column { kGroup, kName, kWells, kCompound, kConcentration };

} // namespace

frm_doseresponse::frm_doseresponse(Ports& ports, QWidget* parent)
    : QWidget(parent, Qt::Window), ports_(ports) {
    setObjectName(QStringLiteral("frm_doseresponse"));
    setWindowTitle(QStringLiteral("Dose-response"));
    build();
    resize(1100, 620);
}

void frm_doseresponse::build() {
    auto* root = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    grd_doses = named(new QTableWidget(0, 5, this), "grd_doses");
    grd_doses->setHorizontalHeaderLabels({QStringLiteral("Group"), QStringLiteral("Name"),
                                          QStringLiteral("Wells"), QStringLiteral("Compound"),
                                          QStringLiteral("Concentration")});
    grd_doses->verticalHeader()->hide();
    grd_doses->horizontalHeader()->setStretchLastSection(true);
    grd_doses->setMinimumWidth(400);
    left->addWidget(grd_doses, 1);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Unit:"), this), 0, 0);
    txt_doseunit = named(new QLineEdit(this), "txt_doseunit");
    grid->addWidget(txt_doseunit, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("From (min):"), this), 1, 0);
    txt_dosefrom = named(new QLineEdit(this), "txt_dosefrom");
    grid->addWidget(txt_dosefrom, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("To (min):"), this), 1, 2);
    txt_doseto = named(new QLineEdit(this), "txt_doseto");
    grid->addWidget(txt_doseto, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Basal:"), this), 2, 0);
    lbl_dosebasal = named(new QLabel(this), "lbl_dosebasal");
    grid->addWidget(lbl_dosebasal, 2, 1, 1, 3);
    left->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    cmd_dosesave = named(new QPushButton(QStringLiteral("Save doses"), this), "cmd_dosesave");
    cmd_dosefit = named(new QPushButton(QStringLiteral("Fit curves"), this), "cmd_dosefit");
    cmd_dosefit->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(cmd_dosesave);
    buttons->addWidget(cmd_dosefit);
    left->addLayout(buttons);
    root->addLayout(left, 2);

    auto* right = new QVBoxLayout;
    auto* pick = new QHBoxLayout;
    pick->addWidget(new QLabel(QStringLiteral("Compound:"), this));
    cmb_dosecompound = named(new QComboBox(this), "cmb_dosecompound");
    pick->addWidget(cmb_dosecompound, 1);
    right->addLayout(pick);
    pic_doseplot = named(new SurfaceWidget(this), "pic_doseplot");
    pic_doseplot->setMinimumSize(560, 360);
    right->addWidget(pic_doseplot, 3);
    txt_dosemessages = named(new QPlainTextEdit(this), "txt_dosemessages");
    txt_dosemessages->setReadOnly(true);
    txt_dosemessages->setMaximumHeight(120);
    right->addWidget(txt_dosemessages, 1);
    root->addLayout(right, 3);

    connect(cmd_dosesave, &QPushButton::clicked, this, [this] {
        takeTable();
        if (editor_.save())
            showMessages({"Saved " + editor_.acquisitionPath() + "/" + kDoseMapFileName});
        else
            showMessages(editor_.messages());
    });
    connect(cmd_dosefit, &QPushButton::clicked, this, [this] { fit(); });
    connect(cmb_dosecompound, &QComboBox::currentIndexChanged, this, [this] { drawPlot(); });
    connect(pic_doseplot, &SurfaceWidget::resized, this, [this] { drawPlot(); });
}

void frm_doseresponse::open(const std::string& acquisitionPath, const std::string& programFolder,
                            const std::string& basalChoice) {
    editor_.load(acquisitionPath, programFolder, basalChoice);
    outcome_ = DoseResponseOutcome{};
    cmb_dosecompound->clear();
    showTable();
    showMessages(editor_.messages());
    drawPlot();
    show();
    raise();
    activateWindow();
}

void openDoseResponseWindow(QWidget& reportWindow, Ports& ports, const std::string& acquisitionPath,
                            const std::string& programFolder, const std::string& basalChoice) {
    auto* w = reportWindow.findChild<frm_doseresponse*>(QString(), Qt::FindDirectChildrenOnly);
    if (!w) w = new frm_doseresponse(ports, &reportWindow);
    w->open(acquisitionPath, programFolder, basalChoice);
}

void frm_doseresponse::showTable() {
    const auto& rows = editor_.rows;
    grd_doses->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const DoseEditorRow& r = rows[static_cast<size_t>(i)];
        const QString fixed[] = {QString::number(r.group), q(r.name), QString::number(r.wells)};
        for (int c = kGroup; c <= kWells; ++c) {
            auto* item = new QTableWidgetItem(fixed[c]);
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            grd_doses->setItem(i, c, item);
        }
        grd_doses->setItem(i, kCompound, new QTableWidgetItem(q(r.compound)));
        grd_doses->setItem(i, kConcentration, new QTableWidgetItem(q(r.concentration)));
    }
    grd_doses->resizeColumnsToContents();
    txt_doseunit->setText(q(editor_.unit));
    txt_dosefrom->setText(q(editor_.fromText));
    txt_doseto->setText(q(editor_.toText));
    lbl_dosebasal->setText(editor_.basalPath().empty() ? QStringLiteral("none (events per minute)")
                                                       : q(editor_.basalPath()));
}

void frm_doseresponse::takeTable() {
    auto& rows = editor_.rows;
    for (int i = 0; i < static_cast<int>(rows.size()) && i < grd_doses->rowCount(); ++i) {
        auto text = [&](int c) {
            const QTableWidgetItem* item = grd_doses->item(i, c);
            return item ? item->text().toStdString() : std::string();
        };
        rows[static_cast<size_t>(i)].compound = text(kCompound);
        rows[static_cast<size_t>(i)].concentration = text(kConcentration);
    }
    editor_.unit = txt_doseunit->text().toStdString();
    editor_.fromText = txt_dosefrom->text().toStdString();
    editor_.toText = txt_doseto->text().toStdString();
}

void frm_doseresponse::showMessages(const std::vector<std::string>& lines) {
    QStringList l;
    for (const std::string& s : lines)
        l << q(s);
    txt_dosemessages->setPlainText(l.join(QLatin1Char('\n')));
}

void frm_doseresponse::fit() {
    takeTable();
    outcome_ = editor_.run(ports_.locale);
    std::vector<std::string> lines;
    if (outcome_.written) lines.push_back("Written: " + outcome_.csvPath);
    for (const std::string& l : doseResponseSummary(outcome_, ports_.locale.decimalSeparator()))
        lines.push_back(l);
    showMessages(lines);
    cmb_dosecompound->blockSignals(true);
    cmb_dosecompound->clear();
    for (const CompoundResult& c : outcome_.result.compounds)
        cmb_dosecompound->addItem(q(c.compound));
    cmb_dosecompound->blockSignals(false);
    drawPlot();
}

void frm_doseresponse::drawPlot() {
    Surface& s = pic_doseplot->surface();
    const int i = cmb_dosecompound->currentIndex();
    const auto& compounds = outcome_.result.compounds;
    if (i < 0 || i >= static_cast<int>(compounds.size())) {
        s.setScale(0, 0, 1, 1);
        s.clear();
        return;
    }
    Dibujar_doseresponse(
        s, compounds[static_cast<size_t>(i)],
        {outcome_.result.unit, outcome_.result.basal, ports_.locale.decimalSeparator()});
}

} // namespace trv
