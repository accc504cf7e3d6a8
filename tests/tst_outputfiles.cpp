// The files of one output written the safe way (a temporary name first, all renamed once all are written), and
// the checks a page's file passes before it counts.
#include "TestSupport.h"
#include "base/lxOutputFiles.h"
#include "render/PageOutput.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList filesIn(const QString &dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QByteArray png(int width) {
    return TestSupport::png(QSize(width, 10));
}
} // namespace

class TestOutputFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void committedWhole();
    void discardedUnlessCommitted();
    void refusedFolder();
    void pageChecks_data();
    void pageChecks();
};

// Outputs take their names only at the commit: an old output stays in place until then, and nothing hidden is
// left behind.
void TestOutputFiles::committedWhole() {
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("talk.emf")), second = dir.filePath(QStringLiteral("talk-2.emf"));
    QVERIFY(TestSupport::writeAll(first, "old"));
    QString error, failed;
    TlxOutputFiles files(dir.path(), QStringLiteral(".emf"));
    for (const QString &final : {first, second}) {
        const QString tmp = files.Temporary(final, &error);
        QVERIFY2(tmp.startsWith(dir.path() + QStringLiteral("/.vorlane-")) && tmp.endsWith(QLatin1String(".emf")),
                 qPrintable(tmp + error));
        QCOMPARE(TlxOutputFiles::WriteWhole(tmp, "new " + final.toUtf8()), QString());
    }
    QCOMPARE(TestSupport::readAll(first), QByteArray("old"));
    QVERIFY(files.Commit(&failed, &error));
    QCOMPARE(TestSupport::readAll(first), "new " + first.toUtf8());
    QCOMPARE(filesIn(dir.path()), (QStringList{"talk-2.emf", "talk.emf"}));
}

void TestOutputFiles::discardedUnlessCommitted() {
    QTemporaryDir dir;
    QString error;
    {
        TlxOutputFiles files(dir.path(), QStringLiteral(".svg"));
        QVERIFY(!files.Temporary(dir.filePath(QStringLiteral("a.svg")), &error).isEmpty());
        QCOMPARE(filesIn(dir.path()).size(), 1);
    }
    QVERIFY(filesIn(dir.path()).isEmpty());
}

// A folder that takes no files says so at the first file, and writing over a file that is gone says why.
void TestOutputFiles::refusedFolder() {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no/such/folder"));
    QString error;
    TlxOutputFiles files(missing, QStringLiteral(".png"));
    QVERIFY(files.Temporary(missing + QStringLiteral("/a.png"), &error).isEmpty());
    QVERIFY(!error.isEmpty());
    QVERIFY(!TlxOutputFiles::WriteWhole(missing + QStringLiteral("/a.png"), "x").isEmpty());
}

void TestOutputFiles::pageChecks_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("isPng");
    QTest::addColumn<QString>("reason"); // a word of the reason; empty when the file is whole
    QTest::newRow("PNG of the width") << png(64) << true << QString();
    QTest::newRow("PNG of another width") << png(32) << true << "32";
    QTest::newRow("PNG cut before its header") << png(64).left(20) << true << "PNG";
    QTest::newRow("PDF whole") << QByteArray("%PDF-1.7\n1 0 obj\n<<>>\nendobj\n%%EOF\n") << false << QString();
    QTest::newRow("PDF without its end") << QByteArray("%PDF-1.7\n1 0 obj\n") << false << "complete";
    QTest::newRow("not a PDF") << QByteArray("<svg/>%%EOF") << false << "complete";
}

void TestOutputFiles::pageChecks() {
    QFETCH(QByteArray, data);
    QFETCH(bool, isPng);
    QFETCH(QString, reason);
    const QString why = isPng ? PageOutput::CheckPng(data, 64) : PageOutput::CheckPdf(data);
    QVERIFY2(reason.isEmpty() ? why.isEmpty() : why.contains(reason), qPrintable(why));
}

QTEST_GUILESS_MAIN(TestOutputFiles)
#include "tst_outputfiles.moc"
