#include "FakePowerPoint.h"

#include "automation/OleError.h"
#include "automation/OleRegistry.h"

#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

using namespace automation;

namespace {
struct State {
    QMutex lock;
    FakePowerPoint::Script script;
    QList<FakePowerPoint::Call> calls;
    int created = 0;
    ObjectFactory previous;
    bool installed = false;
};

State &state() {
    static State s;
    return s;
}

void record(int app, const QString &text) {
    State &s = state();
    QMutexLocker g(&s.lock);
    const bool existed = !s.script.watchPath.isEmpty() && QFileInfo::exists(s.script.watchPath);
    s.calls.append({text, QThread::currentThread(), app, existed});
}

FakePowerPoint::Script scriptCopy() {
    State &s = state();
    QMutexLocker g(&s.lock);
    return s.script;
}

[[noreturn]] void fail(const QString &message) {
    throw EOleError(hr::Exception, message);
}

class FakePresentation : public IDispatchObject {
public:
    FakePresentation(int app, QString source) : m_app(app), m_source(std::move(source)) {}
    Variant GetProperty(const QString &name, const VariantList &) override {
        if (IsMember(name, QLatin1String("FullName")))
            return m_source;
        if (IsMember(name, QLatin1String("SlideCount")))
            return scriptCopy().slideCount;
        UnknownMember(name);
    }
    void PutProperty(const QString &name, const Variant &) override { UnknownMember(name); }
    Variant CallMethod(const QString &name, const VariantList &args) override {
        const FakePowerPoint::Script s = scriptCopy();
        if (IsMember(name, QLatin1String("ExportPng"))) {
            CheckArgs(args, 3, 3);
            record(m_app, QStringLiteral("ExportPng %1 %2 %3")
                              .arg(args.at(0).describe(), args.at(1).describe(), args.at(2).describe()));
            // A picture of the asked width, its slide number in its shade.
            const int width = args.at(2).toInt();
            QImage picture(width, width * 3 / 4, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv(args.at(0).toInt() * 40 % 360, 120, 230));
            if (!picture.save(args.at(1).toString(), "PNG"))
                fail(QStringLiteral("Cannot write %1").arg(args.at(1).toString()));
            return Variant();
        }
        if (IsMember(name, QLatin1String("SaveAs"))) {
            CheckArgs(args, 2, 4);
            const QString path = args.at(0).toString();
            record(m_app, QStringLiteral("SaveAs %1 %2%3")
                              .arg(args.at(0).describe(), args.at(1).describe(),
                                   args.size() > 3 ? u' ' + args.at(3).describe() : QString()));
            if (s.failSaveAs.contains(path))
                fail(QStringLiteral("Cannot save %1").arg(path));
            QThread::msleep(unsigned(s.saveAsMs));
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly) || out.write("EMF of " + m_source.toUtf8()) <= 0)
                fail(QStringLiteral("Cannot write %1").arg(path));
            return Variant();
        }
        if (IsMember(name, QLatin1String("Close"))) {
            record(m_app, QStringLiteral("Close"));
            if (s.failClose)
                fail(QStringLiteral("Close failed"));
            return Variant();
        }
        UnknownMember(name);
    }

private:
    int m_app;
    QString m_source;
};

class FakePresentations : public IDispatchObject {
public:
    explicit FakePresentations(int app) : m_app(app) {}
    Variant GetProperty(const QString &name, const VariantList &) override { UnknownMember(name); }
    void PutProperty(const QString &name, const Variant &) override { UnknownMember(name); }
    Variant CallMethod(const QString &name, const VariantList &args) override {
        if (!IsMember(name, QLatin1String("Open")))
            UnknownMember(name);
        CheckArgs(args, 1, 4);
        QStringList described;
        for (const Variant &a : args)
            described << a.describe();
        record(m_app, QStringLiteral("Open ") + described.join(u' '));
        const QString path = args.at(0).toString();
        if (scriptCopy().failOpen.contains(path) || scriptCopy().failOpen.contains(QStringLiteral("*")))
            fail(QStringLiteral("Cannot open %1").arg(path));
        return DispatchRef(std::make_shared<FakePresentation>(m_app, path));
    }

private:
    int m_app;
};

class FakeApplication : public IDispatchObject {
public:
    explicit FakeApplication(int id) : m_id(id) {}
    Variant GetProperty(const QString &name, const VariantList &) override {
        record(m_id, QStringLiteral("Get ") + name);
        const FakePowerPoint::Script s = scriptCopy();
        if (IsMember(name, QLatin1String("Version"))) {
            if (s.failVersion)
                fail(QStringLiteral("Version unavailable"));
            return s.version;
        }
        if (IsMember(name, QLatin1String("Presentations")))
            return DispatchRef(std::make_shared<FakePresentations>(m_id));
        UnknownMember(name);
    }
    void PutProperty(const QString &name, const Variant &value) override {
        record(m_id, QStringLiteral("Put %1 %2").arg(name, value.describe()));
        const FakePowerPoint::Script s = scriptCopy();
        if ((s.failVisible && IsMember(name, QLatin1String("Visible"))) ||
            (s.failDisplayAlerts && IsMember(name, QLatin1String("DisplayAlerts"))))
            fail(QStringLiteral("Cannot set ") + name);
    }
    Variant CallMethod(const QString &name, const VariantList &) override {
        if (IsMember(name, QLatin1String("Quit"))) {
            record(m_id, QStringLiteral("Quit"));
            if (scriptCopy().failQuit)
                fail(QStringLiteral("Quit failed"));
            return Variant();
        }
        UnknownMember(name);
    }

private:
    int m_id;
};

DispatchRef create() {
    State &s = state();
    int id = 0;
    {
        QMutexLocker g(&s.lock);
        if (!s.script.failCreate)
            id = ++s.created;
    }
    record(id, QStringLiteral("Create"));
    if (id == 0)
        throw EOleError(hr::ServerExecFailure, scriptCopy().createError);
    return std::make_shared<FakeApplication>(id);
}
} // namespace

void FakePowerPoint::Install() {
    State &s = state();
    ObjectFactory previous = RegisterProgID(QStringLiteral("PowerPoint.Application"), create);
    QMutexLocker g(&s.lock);
    if (!s.installed)
        s.previous = previous;
    s.installed = true;
    s.script = Script();
    s.calls.clear();
    s.created = 0;
}

void FakePowerPoint::Uninstall() {
    State &s = state();
    ObjectFactory previous;
    {
        QMutexLocker g(&s.lock);
        if (!s.installed)
            return;
        s.installed = false;
        previous = std::move(s.previous);
    }
    RegisterProgID(QStringLiteral("PowerPoint.Application"), previous);
}

FakePowerPoint::Script &FakePowerPoint::script() {
    return state().script;
}

QList<FakePowerPoint::Call> FakePowerPoint::Calls() {
    State &s = state();
    QMutexLocker g(&s.lock);
    return s.calls;
}

QStringList FakePowerPoint::Log() {
    QStringList out;
    for (const Call &c : Calls())
        out << c.text;
    return out;
}

int FakePowerPoint::Created() {
    State &s = state();
    QMutexLocker g(&s.lock);
    return s.created;
}
