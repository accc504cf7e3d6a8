#include "project/lxPropList.h"

#include <QMetaProperty>
#include <QObject>

TlxPropList::TlxPropList(QObject *instance) : m_instance(instance) {
    if (instance)
        m_propCount = instance->metaObject()->propertyCount();
}

int TlxPropList::propertyIndex(const QString &name) const {
    if (!m_instance || name.isEmpty())
        return -1;
    const QMetaObject *meta = m_instance->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        if (QString::fromLatin1(meta->property(i).name()).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TlxPropList::GetPropText(const QString &name) const {
    const int index = propertyIndex(name);
    if (index < 0)
        return {};
    const QMetaProperty prop = m_instance->metaObject()->property(index);
    const QVariant value = prop.read(m_instance);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (prop.isEnumType()) {
        const char *key = prop.enumerator().valueToKey(value.toInt());
        return key ? QString::fromLatin1(key) : QString();
    }
    return value.toString();
}

void TlxPropList::SetPropText(const QString &name, const QString &text) {
    const int index = propertyIndex(name);
    if (index < 0)
        return;
    const QMetaProperty prop = m_instance->metaObject()->property(index);
    if (!prop.isWritable())
        return;
    if (prop.metaType().id() == QMetaType::Bool) {
        // Numbers count as Booleans too, as everywhere in the options: a project holding Subdir=1 must show a
        // checked box, or the next save would silently turn the option off.
        const QString t = text.isEmpty() ? QStringLiteral("False") : text;
        bool isNumber = false;
        const double number = t.toDouble(&isNumber);
        if (t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0 || (isNumber && number != 0))
            prop.write(m_instance, true);
        else if (t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0 || isNumber)
            prop.write(m_instance, false);
        return; // any other text does not name a value: ignored
    }
    if (prop.isEnumType()) {
        bool ok = false;
        const int value = prop.enumerator().keyToValue(text.toLatin1().constData(), &ok);
        if (ok)
            prop.write(m_instance, value);
        return;
    }
    prop.write(m_instance, text);
}
