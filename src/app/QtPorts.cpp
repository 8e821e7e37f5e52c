#include "app/QtPorts.h"

#include "display/NamedWidgetQt.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QInputDialog>
#include <QMessageBox>

#include <cstdio>

namespace trv {

Answer QtPrompter::message(const std::string& text, Buttons buttons, const std::string& title) {
    if (headless) {
        Answer a = Answer::Ok;
        const char* said = "";
        switch (buttons) {
        case Buttons::Ok:
            break;
        case Buttons::OkCancel:
            said = " [OK]";
            break;
        case Buttons::YesNo:
            a = Answer::No, said = " [No]";
            break;
        case Buttons::YesNoCancel:
            a = Answer::Cancel, said = " [Cancel]";
            break;
        }
        std::fprintf(stderr, "trelvane: %s%s\n", text.c_str(), said);
        return a;
    }
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.empty() ? QStringLiteral("Trelvane") : q(title));
    box.setText(q(text));
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    int r = box.exec();
    switch (r) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

InputResult QtPrompter::input(const std::string& prompt, const std::string& title,
                              const std::string& preset) {
    if (headless) {
        std::fprintf(stderr, "trelvane: %s (no answer)\n", prompt.c_str());
        return {true, ""};
    }
    bool ok = false;
    QString answer = QInputDialog::getText(QApplication::activeWindow(), q(title), q(prompt),
                                           QLineEdit::Normal, q(preset), &ok);
    if (!ok) return {true, ""};
    return {false, answer.toStdString()};
}

void QtEventPump::processEvents() {
    QApplication::processEvents();
}

bool QtDesktop::showInFolder(const std::string& path) {
    static const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
    if (names && (names->isServiceRegistered(service).value() ||
                  names->activatableServiceNames().value().contains(service))) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                           service, QStringLiteral("ShowItems"));
        call << QStringList{QString::fromLatin1(fileUri(path))} << QString();
        if (bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage) return true;
    }
    return SystemDesktop::showInFolder(path);
}

} // namespace trv
