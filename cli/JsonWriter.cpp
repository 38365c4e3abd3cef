// SPDX-License-Identifier: MIT
#include "cli/JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace korvane::cli {

namespace {

const QStringList FirstKeys = {
    QStringLiteral("version"), QStringLiteral("command"), QStringLiteral("port"),
    QStringLiteral("ok"),      QStringLiteral("error"),   QStringLiteral("status"),
    QStringLiteral("input"),   QStringLiteral("model"),   QStringLiteral("field"),
    QStringLiteral("device"),
};

qsizetype rank(const QString& key) {
    const qsizetype at = FirstKeys.indexOf(key);
    return at < 0 ? FirstKeys.size() : at;
}

QByteArray scalar(const QJsonValue& value) {
    // QJsonDocument holds only arrays and objects: the value's text inside "[...]".
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

void write(const QJsonValue& value, int depth, QByteArray& out) {
    const QByteArray indent(2 * (depth + 1), ' ');
    const QByteArray closing(2 * depth, ' ');
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        if (array.isEmpty()) {
            out += "[]";
            return;
        }
        out += "[\n";
        for (qsizetype i = 0; i < array.size(); ++i) {
            out += indent;
            write(array[i], depth + 1, out);
            out += i + 1 < array.size() ? ",\n" : "\n";
        }
        out += closing + ']';
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        if (object.isEmpty()) {
            out += "{}";
            return;
        }
        QStringList keys = object.keys();
        std::stable_sort(keys.begin(), keys.end(),
                         [](const QString& a, const QString& b) { return rank(a) < rank(b); });
        out += "{\n";
        for (qsizetype i = 0; i < keys.size(); ++i) {
            out += indent + scalar(keys[i]) + ": ";
            write(object.value(keys[i]), depth + 1, out);
            out += i + 1 < keys.size() ? ",\n" : "\n";
        }
        out += closing + '}';
    } else {
        out += scalar(value);
    }
}

} // namespace

QByteArray jsonText(const QJsonValue& value) {
    QByteArray out;
    write(value, 0, out);
    return out + '\n';
}

} // namespace korvane::cli
