#include "app/Frm_Init.h"

#include <QCloseEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace trv {

const char* Frm_Init::versionText() {
    return "Trelvane " TRELVANE_VERSION " - activity reader acquisition and analysis";
}
const char* Frm_Init::makerUrl() {
    return "https://example.org/trelvane";
}

static QPixmap drawLogo() {
    // A small drawn logo: a plate of wells crossed by beams.
    QPixmap pm(120, 80);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 60, 120), 2));
    p.setBrush(QColor(225, 232, 245));
    p.drawRoundedRect(4, 4, 112, 72, 8, 8);
    p.setPen(Qt::NoPen);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 6; ++c) {
            p.setBrush((r + c) % 3 == 0 ? QColor(200, 40, 40) : QColor(90, 110, 170));
            p.drawEllipse(QPointF(18 + c * 17, 17 + r * 15), 5, 5);
        }
    p.setPen(QPen(QColor(230, 60, 60, 160), 1));
    for (int c = 0; c < 6; ++c)
        p.drawLine(18 + c * 17, 6, 18 + c * 17, 74);
    return pm;
}

Frm_Init::Frm_Init(SharedState& state, Ports& ports, QWidget* parent)
    : QWidget(parent), state_(state), ports_(ports) {
    setObjectName("Frm_Init");
    setWindowTitle("<Trelvane> Acquisition Software");
    auto* root = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    Image1 = new QLabel;
    Image1->setObjectName("Image1");
    Image1->setPixmap(drawLogo());
    Image1->installEventFilter(this);
    top->addWidget(Image1);
    auto* titles = new QVBoxLayout;
    auto* title = new QLabel("Trelvane");
    QFont tf = title->font();
    tf.setPointSize(tf.pointSize() + 10);
    tf.setBold(true);
    title->setFont(tf);
    titles->addWidget(title);
    Label_version = new QLabel(versionText());
    Label_version->setObjectName("Label_version");
    titles->addWidget(Label_version);
    Label1 = new QLabel("Trelvane multi-well activity reader");
    Label1->setObjectName("Label1");
    Label1->installEventFilter(this);
    titles->addWidget(Label1);
    top->addLayout(titles, 1);
    root->addLayout(top);

    const char* captions[4] = {"Setup a New Project", "Run Latest Project",
                               "Analyze recorded experiments", "EXIT"};
    for (int i = 0; i < 4; ++i) {
        auto* frame = new QFrame;
        frame->setObjectName(QString("frame_option%1").arg(i + 1));
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setAutoFillBackground(true);
        frame->setCursor(Qt::PointingHandCursor);
        auto* fl = new QHBoxLayout(frame);
        auto* label = new QLabel(captions[i]);
        label->setObjectName(QString("Label_option%1").arg(i + 1));
        QFont lf = label->font();
        lf.setPointSize(lf.pointSize() + 3);
        label->setFont(lf);
        fl->addWidget(label);
        frame->installEventFilter(this);
        label->installEventFilter(this);
        frames_[static_cast<size_t>(i)] = frame;
        labels_[static_cast<size_t>(i)] = label;
        root->addWidget(frame);
    }

    LblNews = new QLabel("Equipment Status = unknown");
    LblNews->setObjectName("LblNews");
    LblNews->setFrameShape(QFrame::Panel);
    LblNews->setFrameShadow(QFrame::Sunken);
    LblNews->setMinimumHeight(28);
    root->addWidget(LblNews);
    highlight(-1);
    resize(560, 420);
    state_.Device_Connected = false;
}

void Frm_Init::highlight(int option) {
    for (int i = 0; i < 4; ++i) {
        QPalette pal = frames_[static_cast<size_t>(i)]->palette();
        pal.setColor(QPalette::Window, i == option ? QColor(255, 255, 192) : QColor(Qt::white));
        frames_[static_cast<size_t>(i)]->setPalette(pal);
    }
}

void Frm_Init::choose(int option) {
    switch (option) {
    case 1:
        if (onSetup) onSetup();
        break;
    case 2:
        if (onRunLatest) onRunLatest();
        break;
    case 3:
        if (onOffline) onOffline();
        break;
    case 4:
        if (ports_.prompter.askYesNo("Sure to Quit?") && onQuit) onQuit();
        break;
    default:
        break;
    }
}

bool Frm_Init::eventFilter(QObject* watched, QEvent* event) {
    for (int i = 0; i < 4; ++i) {
        if (watched != frames_[static_cast<size_t>(i)] &&
            watched != labels_[static_cast<size_t>(i)])
            continue;
        if (event->type() == QEvent::Enter) highlight(i);
        if (event->type() == QEvent::MouseButtonRelease && isEnabled()) {
            choose(i + 1);
            return true;
        }
    }
    if ((watched == Image1 || watched == Label1) && event->type() == QEvent::MouseButtonDblClick) {
        ports_.desktop.openUrl(makerUrl());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Frm_Init::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (isEnabled()) choose(4);
}

void Frm_Init::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && state_.Device_Connected)
        LblNews->setText(QString("status: Connected in COM%1").arg(state_.config.Serial_COM));
    QWidget::changeEvent(event);
}

} // namespace trv
