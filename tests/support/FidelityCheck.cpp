#include "FidelityCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>

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

// Windows' EMF player, built with mingw-w64 when the build found the compiler; it runs under Wine.
QString emfplay() {
#ifdef VORLANE_EMFPLAY
    return QStringLiteral(VORLANE_EMFPLAY);
#else
    return QString();
#endif
}

// Wine's launcher: "wine64" where a release ships the 64-bit one apart, "wine" where one launcher runs both.
QString wine() {
    for (const char *name : {"wine64", "wine"}) {
        const QString found = QStandardPaths::findExecutable(QLatin1String(name));
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

// Word on Windows has Calibri, Cambria, Arial and the others; Wine has none of them. The office draws its
// reference with the metric twins it names for them, and so must Wine, or every line of text would wrap and
// space differently from the reference for a reason no EMF can help.
// The stand-ins the office takes for fonts nobody has are Wine's too.
QByteArray fontReplacements() {
    QByteArray reg = "REGEDIT4\r\n\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"
                     "\"Calibri\"=\"Carlito\"\r\n"
                     "\"Cambria\"=\"Caladea\"\r\n"
                     "\"Arial\"=\"Liberation Sans\"\r\n"
                     "\"Times New Roman\"=\"Liberation Serif\"\r\n"
                     "\"Courier New\"=\"Liberation Mono\"\r\n";
    QFile table(QStringLiteral(VORLANE_SOURCE_DIR "/src/fonts/stand-ins.tsv"));
    table.open(QIODevice::ReadOnly);
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> cells = line.split('\t');
        if (cells.size() >= 2 && !line.startsWith('#') && cells.at(0) != "font")
            reg += "\"" + cells.at(0) + "\"=\"" + cells.at(1) + "\"\r\n";
    }
    return reg;
}

QProcessEnvironment wineEnvironment(const QString &prefix) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WINEPREFIX"), prefix);
    env.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    // Nothing here needs .NET or a browser engine: the first start must not try to install Mono or Gecko.
    env.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
    // The players draw onto a bitmap in memory and need no display, so Wine is given none to talk to.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

struct WineRun {
    bool finished = false; // ended by itself within the time
    int exitCode = -1;
    QByteArray out, err;
};

WineRun runWine(const QString &prefix, const QStringList &args, int timeoutMs) {
    WineRun r;
    QProcess p;
    p.setProcessEnvironment(wineEnvironment(prefix));
    p.setWorkingDirectory(prefix);
    p.start(wine(), args);
    if (!p.waitForStarted(10000)) {
        r.err = "wine cannot be started";
        return r;
    }
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// The prefix beside the player, made on the first start (a few seconds) and given the font replacements once.
bool prepareWine(const QString &prefix, QString *why) {
    const QString reg = prefix + QStringLiteral("/vorlane-fonts.reg");
    QFile done(reg);
    if (done.open(QIODevice::ReadOnly) && done.readAll() == fontReplacements())
        return true;
    done.close();
    QDir().mkpath(prefix);
    QFile pending(reg + QStringLiteral(".new"));
    if (!pending.open(QIODevice::WriteOnly | QIODevice::Truncate) || pending.write(fontReplacements()) < 0 ||
        !pending.flush()) {
        *why = QStringLiteral("cannot write %1").arg(pending.fileName());
        return false;
    }
    pending.close();
    // The working directory is the prefix, so the file's plain name is all Wine has to find.
    const WineRun r = runWine(
        prefix, {QStringLiteral("reg"), QStringLiteral("import"), QStringLiteral("vorlane-fonts.reg.new")}, 300000);
    if (!r.finished || r.exitCode != 0) {
        *why = QStringLiteral("Wine could not set up %1: %2")
                   .arg(prefix, QString::fromLocal8Bit(r.err + r.out).trimmed().right(400));
        return false;
    }
    QFile::remove(reg);
    return QFile::rename(pending.fileName(), reg) || (*why = QStringLiteral("cannot write %1").arg(reg), false);
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
    // A picture left from an earlier run must not pass for this run's.
    for (const QString &emf : emfs)
        QFile::remove(emf.left(emf.size() - 4) + QStringLiteral(".png"));
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

QString FidelityCheck::MissingGdi() {
    const QString player = emfplay();
    if (player.isEmpty())
        return QStringLiteral("the Windows EMF player was not built: x86_64-w64-mingw32-gcc was not found");
    if (!QFileInfo(player).isFile())
        return QStringLiteral("%1 is not there: build the emfplay target").arg(player);
    if (wine().isEmpty())
        return QStringLiteral("wine is not installed");
    return QString();
}

QString FidelityCheck::GdiPicture(const QString &emf, bool gdiplus) {
    return emf.left(emf.size() - 4) + (gdiplus ? QStringLiteral(".gdiplus.png") : QStringLiteral(".gdi.png"));
}

bool FidelityCheck::RenderWithGdi(const QStringList &emfs, int width, bool gdiplus, QString *error) {
    QString why = MissingGdi();
    const QString player = emfplay();
    const QString prefix = QFileInfo(player).absolutePath() + QStringLiteral("/wineprefix");
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/fidelity-gdi-XXXXXX"));
    if (why.isEmpty() && !work.isValid())
        why = QStringLiteral("no temporary folder");
    if (!why.isEmpty() || !prepareWine(prefix, &why)) {
        if (error)
            *error = why;
        return false;
    }
    // Each EMF is linked under a plain name: how Wine reads a Unix name depends on its locale, a number's does not.
    QStringList bmps;
    for (qsizetype i = 0; i < emfs.size(); ++i) {
        QFile::remove(GdiPicture(emfs.at(i), gdiplus)); // an earlier run's must not pass for this one's
        const QString link = work.filePath(QString::number(i) + QStringLiteral(".emf"));
        const QString source = QFileInfo(emfs.at(i)).absoluteFilePath();
        if (!QFile::link(source, link))
            QFile::copy(source, link);
        bmps << work.filePath(QString::number(i) + QStringLiteral(".bmp"));
    }
    const QString judge = gdiplus ? QStringLiteral("GDI+") : QStringLiteral("GDI");
    const QString unanswered = QStringLiteral("the player gave no answer");
    QStringList problem(emfs.size(), unanswered);
    QList<bool> drawn(emfs.size(), false);
    // One start for the whole list; when a file crashes or hangs the player, it stops after naming that file, and
    // the files after it get a start of their own.
    for (qsizetype next = 0; next < emfs.size();) {
        QByteArray list;
        for (qsizetype i = next; i < emfs.size(); ++i)
            list += work.filePath(QString::number(i)).toUtf8() + ".emf\t" + bmps.at(i).toUtf8() + '\n';
        QFile listFile(work.filePath(QStringLiteral("list-%1.txt").arg(next)));
        if (!listFile.open(QIODevice::WriteOnly) || listFile.write(list) != list.size() || !listFile.flush()) {
            why = QStringLiteral("cannot write %1").arg(listFile.fileName());
            break;
        }
        listFile.close();
        QStringList args{player};
        if (gdiplus)
            args << QStringLiteral("--gdiplus");
        args << QString::number(width) << listFile.fileName();
        const WineRun r = runWine(prefix, args, 300000 + 2000 * int(emfs.size() - next));
        qsizetype last = -1;
        for (const QByteArray &line : r.out.split('\n')) {
            const qsizetype tab = line.indexOf('\t');
            if (tab < 0)
                continue;
            const QString status = QString::fromUtf8(line.left(tab)).trimmed();
            bool number = false;
            const qsizetype i =
                QFileInfo(QString::fromUtf8(line.mid(tab + 1)).trimmed()).completeBaseName().toLongLong(&number);
            if (!number || i < next || i >= emfs.size())
                continue;
            last = std::max(last, i);
            drawn[i] = !status.startsWith(QLatin1String("error"));
            problem[i] = status;
        }
        if (last < 0) {
            // Not one file answered: the player or Wine did not start, and another start would fare no better.
            why = QStringLiteral("the player did not start (%1): %2")
                      .arg(r.finished ? QStringLiteral("exit code %1").arg(r.exitCode)
                                      : QStringLiteral("no answer in time"),
                           QString::fromLocal8Bit(r.err).trimmed().right(400));
            break;
        }
        next = last + 1;
    }
    QStringList failures;
    for (qsizetype i = 0; i < emfs.size(); ++i) {
        if (drawn.at(i)) {
            const QImage picture(bmps.at(i));
            if (!picture.isNull() && picture.save(GdiPicture(emfs.at(i), gdiplus)))
                continue;
            problem[i] = QStringLiteral("the drawing could not be kept as PNG");
        }
        if (why.isEmpty() || problem.at(i) != unanswered)
            failures << QStringLiteral("%1 (%2)").arg(emfs.at(i), problem.at(i));
    }
    if (!why.isEmpty())
        failures << QStringLiteral("the rest: ") + why;
    if (!failures.isEmpty()) {
        if (error)
            *error =
                QStringLiteral("Windows' %1 drew no picture of %2").arg(judge, failures.join(QStringLiteral("; ")));
        return false;
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

bool FidelityCheck::Montage(const QList<Pair> &pairs, const QString &out, QString *error, const QStringList &captions) {
    QStringList args;
    const bool imported = !pairs.isEmpty() && !pairs.first().imported.isEmpty();
    const bool gdi = !pairs.isEmpty() && !pairs.first().gdi.isEmpty();
    auto caption = [&captions](int column, const QString &otherwise) {
        return column < captions.size() ? captions.at(column) : otherwise;
    };
    // A judge that drew no picture of one slide leaves a blank there rather than no montage at all.
    auto picture = [](const QString &path) { return QFileInfo::exists(path) ? path : QStringLiteral("null:"); };
    for (const Pair &p : pairs) {
        args << QStringLiteral("-label") << p.label + caption(0, QStringLiteral(" (office)")) << p.reference
             << QStringLiteral("-label")
             << p.label + caption(1, imported || gdi ? QStringLiteral(" (Inkscape)") : QStringLiteral(" (EMF)"))
             << picture(p.picture);
        if (imported)
            args << QStringLiteral("-label") << p.label + caption(2, QStringLiteral(" (office import)"))
                 << picture(p.imported);
        if (gdi)
            args << QStringLiteral("-label") << p.label + caption(3, QStringLiteral(" (Windows GDI)"))
                 << picture(p.gdi);
    }
    args << QStringLiteral("-tile") << QStringLiteral("%1x").arg(2 + int(imported) + int(gdi))
         << QStringLiteral("-geometry") << QStringLiteral("480x+6+6") << QStringLiteral("-font")
         << QStringLiteral("DejaVu-Sans") << QStringLiteral("-background") << QStringLiteral("#dddddd") << out;
    QString output;
    if (run(QStringLiteral("montage"), args, &output))
        return true;
    if (error)
        *error = output.trimmed();
    return false;
}
