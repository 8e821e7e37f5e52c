// The offline window's kinetics line plot, the exports of the plot surface's
// pop-up menus and the group editor on the plot surface.
#include "offline/Frm_offline.h"

#include "common/Numeric.h"
#include "display/NamedWidgetQt.h"
#include "display/SurfaceQt.h"
#include "offline/OfflineExports.h"
#include "store/AcquisitionRecord.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>

namespace trv {

namespace {

MouseButton buttonOf(Qt::MouseButton b) {
    if (b == Qt::LeftButton) return MouseButton::Left;
    if (b == Qt::RightButton) return MouseButton::Right;
    return MouseButton::None;
}

void fill(QListWidget* list, const std::vector<std::string>& entries) {
    list->clear();
    for (const std::string& e : entries)
        list->addItem(q(e));
}

// Runs an action on a double click or Enter in a control.
class DoubleClickOrEnter : public QObject {
  public:
    DoubleClickOrEnter(QObject* parent, std::function<void()> action)
        : QObject(parent), action_(std::move(action)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        const bool enter =
            e->type() == QEvent::KeyPress && (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Return ||
                                              static_cast<QKeyEvent*>(e)->key() == Qt::Key_Enter);
        if (enter || e->type() == QEvent::MouseButtonDblClick) {
            action_();
            return true;
        }
        return QObject::eventFilter(watched, e);
    }

  private:
    std::function<void()> action_;
};

} // namespace

void Frm_offline::wireTools() {
    connect(Cmd_lineplot, &QPushButton::clicked, this, &Frm_offline::Cmd_lineplot_Click);
    connect(cmd_minus, &QPushButton::clicked, this, &Frm_offline::cmd_minus_Click);
    connect(cmd_plus, &QPushButton::clicked, this, &Frm_offline::cmd_plus_Click);
    connect(List_tags, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { List_tags_DblClick(List_tags->row(item)); });
    connect(mn_relativize, &QAction::triggered, this, &Frm_offline::mn_relativize_Click);
    connect(mn_jointexport, &QAction::triggered, this, &Frm_offline::mn_jointexport_Click);

    // Bitmaps of the surface and the raw page as text.
    connect(bmpexporta, &QAction::triggered, this, [this] { exportBmp(kBarImageFile); });
    connect(mn_jointbmp, &QAction::triggered, this, [this] { exportBmp(kBarImageFile); });
    connect(mn_linebmp, &QAction::triggered, this, [this] { exportBmp(kLineImageFile); });
    connect(mn_platebmp, &QAction::triggered, this, [this] { exportBmp(kPlateImageFile); });
    connect(mn_bmptrack, &QAction::triggered, this, [this] { exportBmp(kTrackImageFile); });
    connect(asciiexporta, &QAction::triggered, this, [this] {
        if (plots_.viewMode != offlineview::Signal || plots_.rawLayout.pageCount() == 0) return;
        exportRawPage(browser_.list().programFolder(), config_.setup.Name, browser_.chosenFolder(),
                      config_.plate(), plots_.pickedChannel(), plots_.rawPage, plots_.pageBoxText,
                      ports_);
    });

    // The plot surface: the plate editor while it is open, else the pop-up
    // menu of the view on the right button.
    connect(Picreal, &SurfaceWidget::mousePressed, this,
            [this](Qt::MouseButton b, double x, double y) {
                if (regroup_) {
                    regroup_->editor().mouseDown(buttonOf(b), x, y);
                    showEditorControls();
                } else if (b == Qt::RightButton) {
                    if (QMenu* menu = surfaceMenu()) menu->popup(QCursor::pos());
                }
            });
    connect(Picreal, &SurfaceWidget::mouseMoved, this,
            [this](Qt::MouseButtons, double x, double y) {
                if (regroup_) regroup_->editor().mouseMove(x, y);
            });
    connect(Picreal, &SurfaceWidget::mouseReleased, this,
            [this](Qt::MouseButton b, double x, double y) {
                if (!regroup_) return;
                regroup_->editor().mouseUp(buttonOf(b), x, y);
                showEditorControls();
            });
    // A new size: the plate editor and the line plot are drawn again from
    // what they hold (the other views redraw themselves).
    connect(Picreal, &SurfaceWidget::resized, this, [this] {
        if (regroup_)
            regroup_->editor().redraw();
        else if (plots_.viewMode == offlineview::Line)
            Dibujar_lineplot(Picreal->surface(), kinetics_, plots_.plotGroupSelected);
    });

    // The group editor's controls.
    connect(combogrup2, &QComboBox::activated, this, [this](int index) {
        if (!regroup_) return;
        regroup_->editor().selectIndex(index);
        showEditorControls();
    });
    combogrup2->installEventFilter(new DoubleClickOrEnter(this, [this] {
        if (!regroup_) return;
        regroup_->editor().renameGroup();
        showEditorControls();
    }));
    connect(Cmd_clear, &QPushButton::clicked, this, [this] {
        if (!regroup_) return;
        regroup_->editor().clearClick();
        showEditorControls();
    });
    connect(cmd_goset, &QPushButton::clicked, this, [this] {
        if (!regroup_ || Combo_sets->currentIndex() < 0) return;
        regroup_->editor().autoArrange(Combo_sets->currentText().toStdString());
        showEditorControls();
    });
    connect(cmdcancelgrups, &QPushButton::clicked, this, &Frm_offline::cmdcancelgrups_Click);
    // The heat map's pop-up opens the editor too.
    QAction* editGroups = mnplate->addAction(QStringLiteral("Edit Plate Groups"));
    editGroups->setObjectName(QStringLiteral("mn_editgroups"));
    connect(editGroups, &QAction::triggered, this, [this] {
        after([&] {
            const bool before = browser_.c.plotButtonsEnabled;
            browser_.c.plotButtonsEnabled = false;
            if (!openGroupEditor()) browser_.c.plotButtonsEnabled = before;
        });
    });
}

// --- kinetics line plot -----------------------------------------------------------

void Frm_offline::drawKinetics(double binSize, const std::string& members, bool exportTable) {
    const std::string projectFolder = browser_.list().projectPath(browser_.currentProject());
    const KineticsRequest request{browser_.chosenFolder(),   projectFolder, config_.channels(),
                                  plots_.plotGroups,         members,       binSize,
                                  mn_relativize->isChecked()};
    tagMembers_ = members;
    plots_.viewMode = offlineview::Line;
    kinetics_ = loadKinetics(request, ports_.clock, ports_.prompter);
    Dibujar_lineplot(Picreal->surface(), kinetics_, plots_.plotGroupSelected);
    if (!exportTable || kinetics_.M == 0) return;
    const std::string spacer = customSpacer ? customSpacer() : std::string();
    exportJointReport(projectFolder, kineticsTable(kinetics_, kineticsSeparator(spacer)), ports_);
}

void Frm_offline::Cmd_lineplot_Click() {
    if (browser_.chosenFolder().empty()) return;
    after([&] {
        plots_.panels.bmpCheck = false;
        plots_.panels.pageControls = false;
        plots_.panels.binSizeFrame = true;
        List_tags->clearSelection();
        const int bin = initialBinSize(config_.setup.Aq_lapse);
        txt_bin->setText(QString::number(bin));
        drawKinetics(bin, "", false);
    });
}

void Frm_offline::cmd_minus_Click() {
    const int v = binSizeMinus(leadingNumber(txt_bin->text().toStdString()), kinetics_.binCount,
                               kinetics_.binSize);
    txt_bin->setText(QString::number(v));
    after([&] { drawKinetics(v, tagMembers_, false); });
}

void Frm_offline::cmd_plus_Click() {
    const int v = binSizePlus(leadingNumber(txt_bin->text().toStdString()), kinetics_.binCount,
                              kinetics_.binSize);
    txt_bin->setText(QString::number(v));
    after([&] { drawKinetics(v, tagMembers_, false); });
}

void Frm_offline::lineGroupChosen() {
    plots_.plotGroupSelected = std::max(lstgrup_plot->currentRow(), 0);
    const double bin =
        static_cast<double>(roundHalfEven(leadingNumber(txt_bin->text().toStdString())));
    after([&] { drawKinetics(bin, tagMembers_, false); });
}

void Frm_offline::List_tags_DblClick(int row) {
    if (row < 0 || row >= List_tags->count() || browser_.chosenFolder().empty()) return;
    mn_relativize->setChecked(false);
    const std::string tag = List_tags->item(row)->text().toStdString();
    const std::string members =
        keysTaggedWith(browser_.list().projectPath(browser_.currentProject()), tag);
    if (members.empty()) return;
    after([&] {
        txt_bin->setText(QStringLiteral("5"));
        plots_.panels.binSizeFrame = false;
        plots_.panels.pageControls = false;
        plots_.panels.bmpCheck = false;
        drawKinetics(5, members, false);
    });
}

void Frm_offline::mn_relativize_Click() {
    // The action flips its own check mark when triggered.
    if (tagMode()) after([&] { drawKinetics(5, tagMembers_, false); });
}

void Frm_offline::mn_jointexport_Click() {
    if (tagMode()) after([&] { drawKinetics(5, tagMembers_, true); });
}

QMenu* Frm_offline::surfaceMenu() const {
    switch (plots_.viewMode) {
    case offlineview::Bar:
    case offlineview::Signal:
        return mnexport;
    case offlineview::Line:
        return tagMode() ? mnjoint : mnline;
    case offlineview::Heatmap:
        return mnplate;
    default: // the track view pops its own menu up

        return nullptr;
    }
}

void Frm_offline::exportBmp(const char* fileName) {
    exportSurfaceBmp(Picreal->surface(), browser_.list().programFolder(), fileName, ports_);
}

// --- group editor ---------------------------------------------------------------

bool Frm_offline::openGroupEditor() {
    const std::string& folder = browser_.chosenFolder();
    if (folder.empty()) {
        ports_.prompter.show(kChooseAcquisitionFirst);
        return false;
    }
    if (!config_.loaded() || config_.folder != folder) {
        ports_.prompter.show(kNoPlateToEdit + folder);
        return false;
    }
    regroup_ = std::make_unique<RegroupSession>(config_, ports_, Picreal->surface());
    setWindowTitle(QString::fromLatin1(Caption) + QStringLiteral("  [Plate Config: ") +
                   q(regroup_->folder()) + QStringLiteral("]"));
    plots_.viewMode = offlineview::GroupEditor;
    Combo_sets->clear();
    for (const std::string& size : regroup_->setSizes())
        Combo_sets->addItem(q(size));
    Combo_sets->setCurrentIndex(regroup_->setSizes().empty() ? -1 : regroup_->initialSetSize());
    showEditorControls();
    return true;
}

void Frm_offline::showEditorControls() {
    if (!regroup_) return;
    const GroupEditor& e = regroup_->editor();
    combogrup2->clear();
    for (const GroupEditor::GroupEntry& g : e.groups())
        combogrup2->addItem(q(g.text));
    combogrup2->setCurrentIndex(e.selectedIndex());
    fill(lstgrup2, regroup_->assignedWells());
    fill(lstchgrup2, regroup_->freeChannels());
    showControls();
}

void Frm_offline::applyEditingLayout() {
    for (QWidget* w : std::initializer_list<QWidget*>{
             Cmd_report, Cmd_leegroups, cmdchannels, Cmd_analyze, Cmd_main, Listpj,
             frmtxt_threshold, cmb_modeanalisis, Cmd_barplot, Cmd_gridplot, Cmd_lineplot})
        w->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{txt_page, scrollpage, combogrup, lstgrup,
                                                      lblcanal, Combofila, Combocol, txtsub,
                                                      frm_bin, chk_bmp, lstgrup_plot})
        w->hide();
    Framegrup->show();
}

void Frm_offline::cmdcancelgrups_Click() {
    if (!regroup_) return;
    leaveGroupEditor(ports_.prompter.askYesNo(kAskSaveGroups));
}

void Frm_offline::leaveGroupEditor(bool save) {
    // The groups go back into the folder the editor was opened for.
    const std::string folder = regroup_->folder();
    if (save) {
        const bool saved = regroup_->save();
        ports_.prompter.show(saved ? std::string(kGroupsSaved) : kGroupsSaveError + folder);
    }
    regroup_.reset();
    setWindowTitle(QString::fromLatin1(Caption));
    Framegrup->hide();
    Listpj->setEnabled(true);
    browser_.c.plotButtonsEnabled = true;
    if (save) ports_.clock.sleepMs(100);
    // The groups are read again from the files: the new ones, or the
    // unchanged ones (and whatever a failed save left).
    browser_.chooseAgain();
    if (!save) ports_.prompter.show(kGroupsRestored);
    for (QWidget* w : std::initializer_list<QWidget*>{Cmd_main, frmtxt_threshold, cmb_modeanalisis})
        w->setEnabled(true);
    showControls();
}

} // namespace trv
