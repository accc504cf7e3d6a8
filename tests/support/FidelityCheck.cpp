#include "FidelityCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

namespace {
// The ImageMagick programs, from their own folder: a shell may put look-alikes earlier on the path.
QString tool(const QString &name) {
    const QString own = QStringLiteral("/usr/bin/") + name;
    return QFileInfo(own).isExecutable() ? own : QStandardPaths::findExecutable(name);
}

bool run(const QString &program, const QStringList &args, QString *output, int timeoutMs = 600000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(tool(program), args);
    if (!p.waitForStarted(10000)) {
        *output = program + QStringLiteral(" cannot be started");
        return false;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        *output = program + QStringLiteral(" did not finish");
        return false;
    }
    *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && (p.exitCode() == 0 || program == QLatin1String("compare"));
}

// The picture as the comparison sees it: on white, grey, 320 wide (or exactly size when given), slightly blurred.
bool prepare(const QString &in, const QString &out, const QString &size, QString *error) {
    return run(QStringLiteral("convert"),
               {in, QStringLiteral("-background"), QStringLiteral("white"), QStringLiteral("-alpha"),
                QStringLiteral("remove"), QStringLiteral("-alpha"), QStringLiteral("off"),
                QStringLiteral("-colorspace"), QStringLiteral("Gray"), QStringLiteral("-resize"), size,
                QStringLiteral("-blur"), QStringLiteral("0x1"), out},
               error);
}
} // namespace

QString FidelityCheck::MissingTools() {
    for (const char *name : {"inkscape", "convert", "compare", "montage", "identify"})
        if (tool(QLatin1String(name)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(name));
    return QString();
}

bool FidelityCheck::Render(const QStringList &emfs, int width, QString *error) {
    if (emfs.isEmpty())
        return true;
    QStringList args{QStringLiteral("--export-type=png"), QStringLiteral("-w"), QString::number(width)};
    args << emfs;
    QString output;
    const bool ok = run(QStringLiteral("inkscape"), args, &output);
    for (const QString &emf : emfs) {
        const QString png = emf.left(emf.size() - 4) + QStringLiteral(".png");
        if (!QFileInfo::exists(png)) {
            if (error)
                *error = QStringLiteral("Inkscape drew no picture of %1: %2").arg(emf, output.right(400));
            return false;
        }
    }
    Q_UNUSED(ok); // Inkscape complains about many EMFs it draws well: the pictures tell.
    return true;
}

QRect FidelityCheck::PlaceOnA4(QSize frame, int pageWidthPixels) {
    const double page = 21000, pageHeight = 29700, widest = 19000; // hundredths of a millimetre
    const double scale = frame.width() > widest ? widest / frame.width() : 1.0;
    const double w = frame.width() * scale, h = frame.height() * scale;
    const double px = pageWidthPixels / page;
    return QRect(qRound((page - w) / 2 * px), qRound((pageHeight - h) / 2 * px), qRound(w * px), qRound(h * px));
}

bool FidelityCheck::RenderWithOffice(const QStringList &emfs, QString *error) {
    QMap<QString, QStringList> byFolder;
    for (const QString &emf : emfs)
        byFolder[QFileInfo(emf).absolutePath()] << emf;
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/fidelity-import-XXXXXX"));
    for (auto it = byFolder.cbegin(); it != byFolder.cend(); ++it) {
        const QString out = work.filePath(QString::number(qHash(it.key())));
        QStringList args{QStringLiteral("-env:UserInstallation=file://") + work.filePath(QStringLiteral("profile")),
                         QStringLiteral("--headless"),
                         QStringLiteral("--norestore"),
                         QStringLiteral("--convert-to"),
                         QStringLiteral("png"),
                         QStringLiteral("--outdir"),
                         out};
        args << it.value();
        QString output;
        run(QStringLiteral("soffice"), args, &output);
        for (const QString &emf : it.value()) {
            const QString base = QFileInfo(emf).completeBaseName();
            const QImage page(out + u'/' + base + QStringLiteral(".png"));
            QFile file(emf);
            const QByteArray header = file.open(QIODevice::ReadOnly) ? file.read(40) : QByteArray();
            if (page.isNull() || header.size() < 40) {
                if (error)
                    *error = QStringLiteral("the office drew no picture of %1: %2").arg(emf, output.right(400));
                return false;
            }
            // The header's frame: left, top, right, bottom, inclusive.
            auto at = [&header](int i) { return qFromLittleEndian<qint32>(header.constData() + 24 + 4 * i); };
            const QRect place = PlaceOnA4(QSize(at(2) - at(0) + 1, at(3) - at(1) + 1), page.width());
            page.copy(place).save(emf.left(emf.size() - 4) + QStringLiteral(".import.png"));
        }
    }
    return true;
}

double FidelityCheck::Score(const QString &picture, const QString &reference, QString *error) {
    QString why;
    const QString a = reference + QStringLiteral(".cmp.png");
    const QString b = picture + QStringLiteral(".cmp.png");
    QString size;
    if (!prepare(reference, a, QStringLiteral("320x"), &why) ||
        !run(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%wx%h!"), a}, &size) ||
        !prepare(picture, b, size.trimmed(), &why)) {
        if (error)
            *error = why.isEmpty() ? size : why;
        return -1;
    }
    QString out;
    run(QStringLiteral("compare"), {QStringLiteral("-metric"), QStringLiteral("RMSE"), a, b, QStringLiteral("null:")},
        &out);
    QFile::remove(a);
    QFile::remove(b);
    static const QRegularExpression normalised(QStringLiteral("\\(([0-9.eE+-]+)\\)"));
    const QRegularExpressionMatch m = normalised.match(out);
    if (!m.hasMatch()) {
        if (error)
            *error = QStringLiteral("compare said: %1").arg(out.trimmed());
        return -1;
    }
    return m.captured(1).toDouble();
}

bool FidelityCheck::Montage(const QList<Pair> &pairs, const QString &out, QString *error) {
    QStringList args;
    const bool three = !pairs.isEmpty() && !pairs.first().imported.isEmpty();
    for (const Pair &p : pairs) {
        args << QStringLiteral("-label") << p.label + QStringLiteral(" (office)") << p.reference
             << QStringLiteral("-label") << p.label + (three ? QStringLiteral(" (Inkscape)") : QStringLiteral(" (EMF)"))
             << p.picture;
        if (three)
            args << QStringLiteral("-label") << p.label + QStringLiteral(" (office import)") << p.imported;
    }
    args << QStringLiteral("-tile") << (three ? QStringLiteral("3x") : QStringLiteral("2x"))
         << QStringLiteral("-geometry") << QStringLiteral("480x+6+6") << QStringLiteral("-font")
         << QStringLiteral("DejaVu-Sans") << QStringLiteral("-background") << QStringLiteral("#dddddd") << out;
    QString output;
    if (run(QStringLiteral("montage"), args, &output))
        return true;
    if (error)
        *error = output.trimmed();
    return false;
}
