#include "app/QtApplication.h"

#include "common/RunLog.h"

#include <QMessageBox>

#include <exception>
#include <new>

namespace trv {

QtApplication::QtApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool QtApplication::notify(QObject* receiver, QEvent* event) {
    std::string text;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        text = kOutOfMemoryText;
        runlog::error(std::string("a window action ran out of memory and was stopped"));
    } catch (const std::exception& e) {
        text = std::string("The action failed: ") + e.what();
        runlog::error(std::string("a window action failed: ") + e.what());
    }
    if (showFailure)
        showFailure(text);
    else
        QMessageBox::critical(activeWindow(), QStringLiteral("Trelvane"),
                              QString::fromStdString(text));
    return false;
}

} // namespace trv
