#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <variant>

namespace automation {

class IDispatchObject;
using DispatchRef = std::shared_ptr<IDispatchObject>;

// A late-bound value: nothing, a boolean, a 32-bit integer, a double, a text or an object reference.
// Conversions follow the automation platform's rules: true is -1 as a number, texts are read as numbers in the
// current locale's notation, and a conversion that cannot be made raises EOleError with a type-mismatch code.
class Variant {
public:
    enum class Type { Empty, Bool, Int, Double, String, Object };

    Variant() = default;
    Variant(bool value) : m_value(value) {}
    Variant(int value) : m_value(static_cast<qint32>(value)) {}
    Variant(double value) : m_value(value) {}
    Variant(const QString &value) : m_value(value) {}
    Variant(const char *value) : m_value(QString::fromUtf8(value)) {}
    Variant(DispatchRef value) : m_value(std::move(value)) {}

    Type type() const { return static_cast<Type>(m_value.index()); }
    bool isEmpty() const { return type() == Type::Empty; }

    bool toBool() const;
    qint32 toInt() const;
    double toDouble() const;
    QString toString() const;
    DispatchRef toObject() const;

    // Non-throwing numeric conversion; false when the value is not a number.
    bool tryDouble(double &out) const;

    // A short description for logs and test transcripts: true, 23, 1.5, "text", <object>, <empty>.
    QString describe() const;

    bool operator==(const Variant &other) const { return m_value == other.m_value; }

private:
    std::variant<std::monostate, bool, qint32, double, QString, DispatchRef> m_value;
};

using VariantList = QList<Variant>;

} // namespace automation
