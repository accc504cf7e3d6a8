#pragma once

#include <QAction>
#include <QString>

// A checkable tool bar action that a project keeps like its other bound controls: "shown" is "True" while
// checked and empty otherwise, so that a project that never turned it on holds no line for it.
class TlxToggleAction : public QAction {
    Q_OBJECT
    Q_PROPERTY(QString shown READ Shown WRITE SetShown)

public:
    explicit TlxToggleAction(QObject *parent = nullptr) : QAction(parent) {
        setCheckable(true);
        setProperty("hint", QStringLiteral("shown"));
    }

    QString Shown() const { return isChecked() ? QStringLiteral("True") : QString(); }
    void SetShown(const QString &text) {
        bool number = false;
        const int value = text.toInt(&number);
        setChecked(text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || (number && value != 0));
    }
};
