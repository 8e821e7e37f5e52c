// Small helpers of the window classes: a control given its documented
// objectName as it is created, std::string texts for Qt, and a combo box
// filled from a list.
#pragma once

#include <QComboBox>
#include <QString>

#include <string>
#include <vector>

namespace trv {

template <typename W> W* named(W* w, const char* name) {
    w->setObjectName(name);
    return w;
}

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// Refills a combo box only when its entries changed, so its selection and
// scroll position survive the refresh that follows every event.
inline void fillCombo(QComboBox* box, const std::vector<std::string>& entries) {
    bool same = box->count() == static_cast<int>(entries.size());
    for (int i = 0; same && i < box->count(); ++i)
        same = box->itemText(i) == q(entries[static_cast<size_t>(i)]);
    if (same) return;
    box->clear();
    for (const std::string& e : entries)
        box->addItem(q(e));
}

} // namespace trv
