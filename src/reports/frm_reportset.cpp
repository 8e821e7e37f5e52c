#include "reports/frm_reportset.h"

#include "display/NamedWidgetQt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace trv {

namespace {

} // namespace

frm_reportset::frm_reportset(SharedState& state, Ports& ports, ReportOptionsHooks hooks,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), model_(state, ports, std::move(hooks)) {
    setObjectName(QStringLiteral("frm_reportset"));
    setWindowTitle(QStringLiteral("[User Defined Report]"));
    ReportOptionsHooks& h = model_.hooks();
    auto outerHide = h.hide;
    h.hide = [this, outerHide] {
        hide();
        if (outerHide) outerHide();
    };
    build();
    wire();
}

void frm_reportset::build() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(10, 8, 10, 10);
    root->addWidget(new QLabel(QStringLiteral("Set Report Options:"), this));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Bin size (min):"), this), 0, 0);
    Cmb_binsize = named(new QComboBox(this), "Cmb_binsize");
    Cmb_binsize->setEditable(true);
    grid->addWidget(Cmb_binsize, 0, 1);

    optionControls.build(this, dialogOutputEntries());
    grid->addWidget(optionControls.fileBox, 1, 0, 1, 2);
    grid->addWidget(optionControls.outputBox, 0, 2, 2, 1);
    grid->addWidget(optionControls.statBox, 0, 3, 2, 1);
    root->addLayout(grid);

    Chk_rawexport = named(new QCheckBox(QStringLiteral("Export Raw"), this), "Chk_rawexport");
    Chk_autofile = named(new QCheckBox(QStringLiteral("Auto-Generate after measurement"), this),
                         "Chk_autofile");
    Chk_autofile->setChecked(true);
    Chk_autofile->setEnabled(false);
    root->addWidget(Chk_rawexport);
    root->addWidget(Chk_autofile);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Cmd_generate = named(new QPushButton(QStringLiteral("Apply"), this), "Cmd_generate");
    Cmd_cancel = named(new QPushButton(QStringLiteral("Back to Default"), this), "Cmd_cancel");
    buttons->addWidget(Cmd_generate);
    buttons->addWidget(Cmd_cancel);
    root->addLayout(buttons);
}

void frm_reportset::wire() {
    connect(Cmd_generate, &QPushButton::clicked, this, [this] {
        takeControls();
        model_.Cmd_generate_Click();
    });
    connect(Cmd_cancel, &QPushButton::clicked, this, [this] {
        model_.Cmd_cancel_Click();
        showControls();
    });
}

void frm_reportset::takeControls() {
    ReportOptionFields& f = model_.fields;
    f.binText = Cmb_binsize->currentText().toStdString();
    optionControls.read(f);
    f.rawExport = Chk_rawexport->isChecked();
}

void frm_reportset::open() {
    model_.open();
    showControls();
    show();
    raise();
    activateWindow();
}

void frm_reportset::showControls() {
    showing_ = true;
    const ReportOptionFields& f = model_.fields;
    {
        QSignalBlocker b(Cmb_binsize);
        Cmb_binsize->clear();
        for (const std::string& e : f.binEntries)
            Cmb_binsize->addItem(q(e));
        Cmb_binsize->setEditText(q(f.binText));
    }
    optionControls.show(f);
    Chk_rawexport->setChecked(f.rawExport);
    Chk_autofile->setChecked(model_.Chk_autofile);
    showing_ = false;
}

} // namespace trv
