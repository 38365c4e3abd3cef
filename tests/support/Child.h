// SPDX-License-Identifier: MIT
#pragma once
// Finds a window's control by its object name, as the operator's view of it: windows
// keep their controls private. A missing control ends the test at once.

#include <QObject>

#include <memory>

namespace korvane::test {

inline const QObject* ObjectOf(const QObject& o) {
    return &o;
}
inline const QObject* ObjectOf(const QObject* o) {
    return o;
}
template <typename T> const QObject* ObjectOf(const std::unique_ptr<T>& p) {
    return p.get();
}

template <typename T, typename Root> T* Child(const Root& root, const char* name) {
    T* child = ObjectOf(root)->template findChild<T*>(QLatin1String(name));
    if (!child)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return child;
}

} // namespace korvane::test

using korvane::test::Child;
