#include "project/lxProject.h"

#include "base/lxError.h"

#include "base/lxFileName.h"

#include "base/lxFileUtils.h"
#include "info/lxInfo.h"
#include "project/lxApp.h"
#include "project/lxPropList.h"
#include "project/lxShellDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <stdexcept>

TlxProject *lxProject = nullptr;

namespace {
const QString kSource = QStringLiteral("Source");
const QString kTarget = QStringLiteral("Target");

// The key of an option line: the text before its first "=", or nothing for a line without one.
bool lineHasKey(const QString &line, const QString &key) {
    const qsizetype eq = line.indexOf(u'=');
    return eq >= 0 && QStringView(line).left(eq).compare(key, Qt::CaseInsensitive) == 0;
}

} // namespace

TlxProject::TlxProject() {
    LoadRecent();
}

TlxProject::~TlxProject() {
    UnbindControls();
    SaveRecent();
}

// ---------------------------------------------------------------- the option list

qsizetype TlxProject::indexOfKey(const QString &key) const {
    for (qsizetype i = 0; i < m_options.size(); ++i) {
        if (lineHasKey(m_options.at(i), key))
            return i;
    }
    return -1;
}

QString TlxProject::GetOption(const QString &key) const {
    QReadLocker lock(&m_lock);
    const qsizetype i = indexOfKey(key);
    if (i < 0)
        return {};
    const QString &line = m_options.at(i);
    return line.mid(line.indexOf(u'=') + 1);
}

void TlxProject::setOptionLocked(const QString &key, const QString &value) {
    const qsizetype i = indexOfKey(key);
    if (value.isEmpty()) {
        if (i >= 0)
            m_options.removeAt(i);
    } else if (i >= 0) {
        m_options[i] = key + u'=' + value;
    } else {
        m_options << key + u'=' + value;
    }
}

void TlxProject::SetOption(const QString &key, const QString &value) {
    QWriteLocker lock(&m_lock);
    setOptionLocked(key, value);
}

QStringList TlxProject::Options() const {
    QReadLocker lock(&m_lock);
    return m_options;
}

void TlxProject::SetOptions(const QStringList &lines) {
    QWriteLocker lock(&m_lock);
    m_options = lines;
}

QString TlxProject::OptionsText() const {
    QString text;
    for (const QString &line : Options())
        text += line + QStringLiteral("\r\n");
    return text;
}

void TlxProject::SetOptionsText(const QString &text) {
    SetOptions(TlxFileUtils::SplitLines(text));
}

bool TlxProject::ParseBool(const QString &text, bool defaultValue) {
    if (text.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok ? number != 0 : defaultValue;
}

int TlxProject::ParseInt(const QString &text, int defaultValue) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok && !text.isEmpty() && !text.at(0).isSpace() ? value : defaultValue;
}

bool TlxProject::BoolOption(const QString &key, bool defaultValue) const {
    return ParseBool(GetOption(key), defaultValue);
}

int TlxProject::IntOption(const QString &key, int defaultValue) const {
    return ParseInt(GetOption(key), defaultValue);
}

bool TlxProject::RunAndClose() const {
    return BoolOption(QStringLiteral("RunAndClose"), false) || PureConsole() || Daemon() > 0;
}

TlxOverwriteMode TlxProject::OverwriteMode() const {
    const QString value = GetOption(QStringLiteral("IsOverwrite"));
    if (value.compare(QStringLiteral("skip"), Qt::CaseInsensitive) == 0)
        return TlxOverwriteMode::Skip;
    if (value.compare(QStringLiteral("newer"), Qt::CaseInsensitive) == 0)
        return TlxOverwriteMode::Newer;
    return ParseBool(value, OverwriteDefault) ? TlxOverwriteMode::Overwrite : TlxOverwriteMode::KeepExisting;
}

QString TlxProject::TargetFolder() const {
    QString target = Target();
    if (target.isEmpty())
        return target;
    TlxFileName::MakePath(target); // a failure shows up per file when the converters write there
    if (!target.endsWith(PathDelim))
        target += PathDelim;
    return target;
}

// ---------------------------------------------------------------- project files

bool TlxProject::IsProjectFile(const QString &name) const {
    return !ProjectExt.isEmpty() && name.size() >= ProjectExt.size() && name.endsWith(ProjectExt, Qt::CaseSensitive);
}

QString TlxProject::RecentListFileName() const {
    return lxApp ? lxApp->ExePath + QStringLiteral(".log") : QString();
}

QString TlxProject::DefaultProjectFileName() const {
    if (!lxApp)
        return {};
    const QString exe = lxApp->ExePath;
    const QFileInfo info(exe);
    // Replace the extension of the file name only; a dot in a folder name is not an extension.
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString base = dot > 0 ? name.left(dot) : name;
    return TlxFileUtils::FolderPart(exe) + base + ProjectExt;
}

bool TlxProject::ReadLines(const QString &fileName, QStringList &lines) {
    QFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    QString text;
    if (data.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(data.mid(3));
    } else if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(data.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        text = decoder.decode(data.mid(2));
    } else {
        QStringDecoder decoder(QStringConverter::System);
        text = decoder.decode(data);
    }
    lines = TlxFileUtils::SplitLines(text);
    return true;
}

void TlxProject::WriteLines(const QString &fileName, const QStringList &lines) {
    QString text;
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray data = encoder.encode(text);
    // Written to a temporary file and moved into place, so a full disk never leaves half a project behind.
    QSaveFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throw std::runtime_error(
            QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString()).toStdString());
}

void TlxProject::LoadRecent() {
    QStringList lines;
    RecentFiles.clear();
    if (ReadLines(RecentListFileName(), lines)) {
        for (const QString &line : std::as_const(lines)) {
            if (!line.isEmpty())
                RecentFiles << line;
        }
    }
}

void TlxProject::SaveRecent() const {
    const QString name = RecentListFileName();
    if (name.isEmpty())
        return;
    try {
        WriteLines(name, RecentFiles);
    } catch (const std::exception &) {
        // The recent list is a convenience: a read-only program folder must not stop the program.
    }
}

void TlxProject::AddRecent() {
    if (FileName.isEmpty())
        return;
    for (const QString &entry : std::as_const(RecentFiles)) {
        if (entry.compare(FileName, Qt::CaseInsensitive) == 0)
            return;
    }
    RecentFiles.prepend(FileName);
}

void TlxProject::applyAutoTarget(const QString &fileName) {
    if (AutoTarget && GetOption(kTarget).isEmpty())
        SetOption(kTarget, TlxFileUtils::FolderPart(fileName));
}

void TlxProject::OpenStartupProject() {
    if (FileName.isEmpty() && CommandLineOptions.isEmpty())
        FileName = DefaultProjectFileName();
    OpenProject(false);
}

void TlxProject::OpenProject(bool withDialog) {
    if (withDialog) {
        QString name = FileName;
        if (!OpenFileDialog(ProjectFilter + u'|' + SourceFilter, name, false))
            return;
        FileName = name;
    }
    if (IsProjectFile(FileName)) {
        QStringList lines;
        if (ReadLines(FileName, lines)) {
            SetOptions(lines);
            AddRecent();
        }
    } else if (!CommandLineOptions.isEmpty()) {
        SetOptionsText(CommandLineOptions);
        applyAutoTarget(GetOption(kSource));
    } else {
        const QString source = FileName;
        FileName.clear();
        SetOption(kSource, source);
        applyAutoTarget(source);
    }
    OptionsToControls();
}

void TlxProject::NewProject() {
    FileName.clear();
    SetOptions({});
    OptionsToControls();
}

void TlxProject::SaveProject() {
    if (!FileName.isEmpty())
        StoreOptions(true);
    else
        SaveProjectAs();
}

void TlxProject::SaveProjectAs() {
    QString name = FileName;
    if (!SaveFileDialog(ProjectFilter, ProjectExt, name))
        return;
    FileName = name;
    StoreOptions(true);
}

void TlxProject::StoreOptions(bool write) {
    ControlsToOptions();
    if (!write)
        return;
    WriteLines(FileName, Options());
    AddRecent();
}

// ---------------------------------------------------------------- bound controls

void TlxProject::BindControl(QObject *control) {
    if (control)
        m_boundControls << QPointer<QObject>(control);
}

void TlxProject::UnbindControls() {
    m_accessors.clear();
}

TlxPropList *TlxProject::accessorFor(QObject *control) {
    auto &slot = m_accessors[control];
    if (!slot || slot->Instance() != control)
        slot = std::make_shared<TlxPropList>(control);
    return slot.get();
}

void TlxProject::OptionsToControls() {
    for (const QPointer<QObject> &control : std::as_const(m_boundControls)) {
        if (!control)
            continue;
        const QString name = control->objectName();
        const QString hint = control->property("hint").toString();
        const QString key = name.mid(1);
        TlxPropList *accessor = accessorFor(control);
        QString value = GetOption(key);
        if (value.isEmpty()) {
            // Older projects stored the control's value under "name.Hint": take it over once.
            const QString legacyKey = name + u'.' + hint;
            value = GetOption(legacyKey);
            SetOption(legacyKey, QString());
        }
        accessor->SetPropText(hint, value);
    }
}

void TlxProject::ControlsToOptions() {
    for (const QPointer<QObject> &control : std::as_const(m_boundControls)) {
        if (!control)
            continue;
        const QString name = control->objectName();
        const QString hint = control->property("hint").toString();
        SetOption(name.mid(1), accessorFor(control)->GetPropText(hint));
    }
}

bool TlxProject::ReadCommandLine() {
    const QString param = lxApp ? lxApp->FirstParam : QString();
    // On this platform only '-' starts a switch: '/' starts an absolute path.
    if (param.size() >= 2 && param.at(0) == u'-') {
        const QChar letter = param.at(1).toUpper();
        const QString rest = param.mid(2);
        if (letter == u'I' || letter == u'U') {
            if (lxInfo)
                lxInfo->OpenLink(QString(), letter == u'I' ? QStringLiteral("ins") : QStringLiteral("uni"),
                                 letter == u'I' ? rest : QString());
            return false;
        }
        if (letter == u'P') {
            QString options = rest;
            if (options.startsWith(u':'))
                options.remove(0, 1);
            options.replace(u',', u';');
            options.replace(u';', QStringLiteral("\r\n"));
            CommandLineOptions = options;
        }
    } else if (param.size() >= 2) {
        FileName = param;
    }
    OpenStartupProject();
    return true;
}

TlxOutputOptions TlxProject::OutputOptions() {
    if (!lxProject)
        return TlxOutputOptions();
    return TlxOutputOptions::Parse(
        lxProject->GetOption(QStringLiteral("Format")), lxProject->GetOption(QStringLiteral("Slides")),
        lxProject->GetOption(QStringLiteral("ImageResolution")), lxProject->GetOption(QStringLiteral("PngWidth")));
}

TlxOutputOptions TlxProject::OutputOptionsOrDefault() {
    try {
        return OutputOptions();
    } catch (const ElxError &) {
        return TlxOutputOptions();
    }
}
