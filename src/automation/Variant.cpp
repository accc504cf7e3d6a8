#include "automation/Variant.h"

#include "automation/OleError.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace automation {

namespace {
[[noreturn]] void mismatch() {
    throw EOleError(hr::TypeMismatch, QStringLiteral("Type mismatch."));
}

bool textToDouble(const QString &text, double &out) {
    bool ok = false;
    const double v = QLocale().toDouble(text.trimmed(), &ok);
    if (ok)
        out = v;
    return ok;
}
} // namespace

bool Variant::tryDouble(double &out) const {
    switch (type()) {
    case Type::Bool:
        out = std::get<bool>(m_value) ? -1.0 : 0.0;
        return true;
    case Type::Int:
        out = std::get<qint32>(m_value);
        return true;
    case Type::Double:
        out = std::get<double>(m_value);
        return true;
    case Type::String:
        return textToDouble(std::get<QString>(m_value), out);
    case Type::Empty:
        out = 0;
        return true;
    case Type::Object:
        return false;
    }
    return false;
}

double Variant::toDouble() const {
    double v = 0;
    if (!tryDouble(v))
        mismatch();
    return v;
}

qint32 Variant::toInt() const {
    if (type() == Type::Int)
        return std::get<qint32>(m_value);
    const double v = toDouble();
    // The platform rounds half to even when it narrows a number to an integer.
    const double r = std::nearbyint(v);
    if (!std::isfinite(r) || r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max())
        throw EOleError(0x8002000Au, QStringLiteral("Overflow."));
    return static_cast<qint32>(r);
}

bool Variant::toBool() const {
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_value);
    case Type::String: {
        const QString t = std::get<QString>(m_value).trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        return toDouble() != 0;
    }
    default:
        return toDouble() != 0;
    }
}

QString Variant::toString() const {
    switch (type()) {
    case Type::Empty:
        return QString();
    case Type::Bool:
        return std::get<bool>(m_value) ? QStringLiteral("True") : QStringLiteral("False");
    case Type::Int:
        return QString::number(std::get<qint32>(m_value));
    case Type::Double:
        return QLocale().toString(std::get<double>(m_value), 'g', 15);
    case Type::String:
        return std::get<QString>(m_value);
    case Type::Object:
        mismatch();
    }
    return QString();
}

DispatchRef Variant::toObject() const {
    if (type() == Type::Object)
        return std::get<DispatchRef>(m_value);
    if (type() == Type::Empty)
        return nullptr;
    mismatch();
}

QString Variant::describe() const {
    switch (type()) {
    case Type::Empty:
        return QStringLiteral("<empty>");
    case Type::Bool:
        return std::get<bool>(m_value) ? QStringLiteral("true") : QStringLiteral("false");
    case Type::Int:
        return QString::number(std::get<qint32>(m_value));
    case Type::Double:
        return QString::number(std::get<double>(m_value));
    case Type::String:
        return QLatin1Char('"') + std::get<QString>(m_value) + QLatin1Char('"');
    case Type::Object:
        return QStringLiteral("<object>");
    }
    return QString();
}

} // namespace automation
