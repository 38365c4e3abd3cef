// SPDX-License-Identifier: MIT
#pragma once
// A check of korvanectl's JSON documents against korvanectl.schema.json.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <QtGlobal>

#include <utility>

namespace korvane::test {

// The part of JSON Schema korvanectl.schema.json uses: $ref into $defs, anyOf, const,
// enum, type, properties, required, additionalProperties false, items, minimum and
// maximum. The problems found, each with its place in the document.
class SchemaCheck {
public:
    explicit SchemaCheck(QJsonObject root) : m_root(std::move(root)) {}

    QStringList problems(const QJsonValue& value) {
        m_problems.clear();
        check(value, m_root, QStringLiteral("$"));
        return m_problems;
    }

private:
    static bool hasType(const QJsonValue& v, const QString& type) {
        if (type == QStringLiteral("null"))
            return v.isNull();
        if (type == QStringLiteral("boolean"))
            return v.isBool();
        if (type == QStringLiteral("string"))
            return v.isString();
        if (type == QStringLiteral("integer"))
            return v.isDouble() && v.toDouble() == double(v.toInteger());
        if (type == QStringLiteral("number"))
            return v.isDouble();
        if (type == QStringLiteral("array"))
            return v.isArray();
        if (type == QStringLiteral("object"))
            return v.isObject();
        return false;
    }

    bool matches(const QJsonValue& value, const QJsonObject& schema) {
        SchemaCheck inner(m_root);
        inner.check(value, schema, QString());
        return inner.m_problems.isEmpty();
    }

    void check(const QJsonValue& value, const QJsonObject& schema, const QString& at) {
        const auto fail = [&](const QString& what) {
            m_problems.append(at + u' ' + what);
        };
        if (schema.contains(QStringLiteral("$ref"))) {
            const QString ref = schema[QStringLiteral("$ref")].toString();
            const QString name = ref.section(u'/', -1);
            check(value, m_root[QStringLiteral("$defs")].toObject()[name].toObject(), at);
        }
        if (schema.contains(QStringLiteral("anyOf"))) {
            bool any = false;
            for (const QJsonValue& option : schema[QStringLiteral("anyOf")].toArray())
                any = any || matches(value, option.toObject());
            if (!any)
                fail(QStringLiteral("matches none of anyOf"));
        }
        if (schema.contains(QStringLiteral("const")) && value != schema[QStringLiteral("const")])
            fail(QStringLiteral("is not the constant"));
        if (schema.contains(QStringLiteral("enum")) &&
            !schema[QStringLiteral("enum")].toArray().contains(value))
            fail(
                QStringLiteral("is not one of the enumeration: ") +
                QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)));
        if (schema.contains(QStringLiteral("type"))) {
            const QJsonValue type = schema[QStringLiteral("type")];
            const QJsonArray types = type.isArray() ? type.toArray() : QJsonArray{type};
            bool any = false;
            for (const QJsonValue& t : types)
                any = any || hasType(value, t.toString());
            if (!any)
                fail(QStringLiteral("has the wrong type"));
        }
        if (value.isDouble()) {
            if (schema.contains(QStringLiteral("minimum")) &&
                value.toDouble() < schema[QStringLiteral("minimum")].toDouble())
                fail(QStringLiteral("is below the minimum"));
            if (schema.contains(QStringLiteral("maximum")) &&
                value.toDouble() > schema[QStringLiteral("maximum")].toDouble())
                fail(QStringLiteral("is above the maximum"));
        }
        if (value.isObject()) {
            const QJsonObject object = value.toObject();
            const QJsonObject properties = schema[QStringLiteral("properties")].toObject();
            for (const QJsonValue& key : schema[QStringLiteral("required")].toArray()) {
                if (!object.contains(key.toString()))
                    fail(QStringLiteral("lacks ") + key.toString());
            }
            for (auto it = object.begin(); it != object.end(); ++it) {
                if (properties.contains(it.key()))
                    check(it.value(), properties[it.key()].toObject(), at + u'.' + it.key());
                else if (schema[QStringLiteral("additionalProperties")] == QJsonValue(false))
                    fail(QStringLiteral("has the unknown key ") + it.key());
            }
        }
        if (value.isArray() && schema.contains(QStringLiteral("items"))) {
            const QJsonArray array = value.toArray();
            for (qsizetype i = 0; i < array.size(); ++i)
                check(array[i], schema[QStringLiteral("items")].toObject(),
                      at + QStringLiteral("[%1]").arg(i));
        }
    }

    QJsonObject m_root;
    QStringList m_problems;
};

inline QJsonObject loadSchema() {
    QFile file(QStringLiteral(KORVANE_SCHEMA_FILE));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the schema");
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace korvane::test
