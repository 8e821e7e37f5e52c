// Small helpers of the window classes: a control given its documented
// objectName as it is created, and std::string texts for Qt.
#pragma once

#include <QString>

#include <string>

namespace trv {

template <typename W> W* named(W* w, const char* name) {
    w->setObjectName(name);
    return w;
}

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace trv
