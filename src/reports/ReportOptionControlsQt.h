// The option controls the report window and the options dialog both show:
// the "File:" box (Option_report and the spacer txt_customspacer), the
// "Output format:" box (Option_output) and the "Group Statistics:" box
// (Chk_statistic). Each window places the three boxes in its own grid.
#pragma once

#include "reports/ReportOptionsModel.h"

#include <QList>

#include <string>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace trv {

struct ReportOptionControls {
    QGroupBox* fileBox = nullptr;
    QGroupBox* outputBox = nullptr;
    QGroupBox* statBox = nullptr;
    QList<QRadioButton*> Option_report;
    QLineEdit* txt_customspacer = nullptr;
    QList<QRadioButton*> Option_output;
    QList<QCheckBox*> Chk_statistic;

    // Creates the three boxes as children of parent; outputEntries are the
    // captions of Option_output (they differ between the two windows).
    void build(QWidget* parent, const std::vector<std::string>& outputEntries);

    // Shows file type, spacer, output format and statistics. The spacer is
    // rewritten only when it differs, so a box being typed in keeps its
    // cursor.
    void show(const ReportOptionFields& f) const;

    // Reads file type, spacer, output format and statistics back; a group
    // with no button checked leaves its field as it was.
    void read(ReportOptionFields& f) const;
};

} // namespace trv
