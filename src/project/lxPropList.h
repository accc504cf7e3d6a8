#pragma once

#include <QPointer>
#include <QString>

class QObject;

// Reads and writes one named property of a control as text, through Qt's property system. Names are given the
// way the project stores them ("Text", "Checked"); the first letter is matched ignoring case. Boolean properties
// read as "True"/"False"; enumerations as their key. A missing property or an unfitting value is ignored.
class TlxPropList {
public:
    explicit TlxPropList(QObject *instance);

    QString GetPropText(const QString &name) const;
    void SetPropText(const QString &name, const QString &text);

    int PropCount() const { return m_propCount; }
    QObject *Instance() const { return m_instance; }

private:
    int propertyIndex(const QString &name) const;

    int m_propCount = 0;
    QPointer<QObject> m_instance;
};
