#include "app/Frm_About.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace trv {

QString Frm_About::versionLine() {
    return QStringLiteral("Version " TRELVANE_VERSION);
}

Frm_About::Frm_About(QWidget* parent) : QDialog(parent) {
    setObjectName("Frm_About");
    setWindowTitle("About Trelvane");
    auto* root = new QVBoxLayout(this);

    auto* title = new QLabel("Trelvane");
    title->setObjectName("Label_title");
    QFont tf = title->font();
    tf.setPointSize(tf.pointSize() + 8);
    tf.setBold(true);
    title->setFont(tf);
    root->addWidget(title);

    Label_version = new QLabel(versionLine());
    Label_version->setObjectName("Label_version");
    root->addWidget(Label_version);

    auto* text =
        new QLabel("Acquisition and analysis software for the multi-well activity reader:\n"
                   "384 infrared beams over a microplate, live activity plots,\n"
                   "reports, offline analysis and instrument maintenance.\n\n"
                   "Help: Help > Content opens trv_help.pdf from the program folder.");
    text->setObjectName("Label_text");
    root->addWidget(text);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("cmdOK");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    root->addWidget(buttons);
}

} // namespace trv
