// The tests that convert the repository's decks, run against a folder where their data is missing: each ends
// normally with a failure whose message names the missing file, instead of crashing or passing on nothing.
#include "TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestTestData : public QObject {
    Q_OBJECT
private slots:
    void missingDataFailsNamingTheFile_data();
    void missingDataFailsNamingTheFile();
};

void TestTestData::missingDataFailsNamingTheFile_data() {
    QTest::addColumn<QString>("test");
    QTest::addColumn<bool>("withManifest"); // the manifest is there, the decks it lists are not
    for (const char *test : {"tst_vorlane", "tst_formats", "tst_fulldisk", "tst_officeserver"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1, empty folder").arg(QLatin1String(test)))) << test << false;
        QTest::newRow(qPrintable(QStringLiteral("%1, manifest only").arg(QLatin1String(test)))) << test << true;
    }
}

void TestTestData::missingDataFailsNamingTheFile() {
    QFETCH(QString, test);
    QFETCH(bool, withManifest);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString manifest = TestSupport::corpusDir() + QStringLiteral("/MANIFEST.tsv");
    QString missing = dir.filePath(QStringLiteral("MANIFEST.tsv"));
    if (withManifest) {
        QVERIFY2(QFile::copy(manifest, missing), qPrintable(manifest));
        // The first deck the manifest lists.
        const QString first = QString::fromUtf8(TestSupport::readAll(manifest)).section(u'\n', 1, 1).section(u'\t', 0, 0);
        QVERIFY(!first.isEmpty());
        missing = dir.filePath(first);
    }

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORLANE_CORPUS_DIR"), dir.path());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QCoreApplication::applicationDirPath() + u'/' + test, {});
    QVERIFY2(p.waitForFinished(120000), qPrintable(test + " did not end"));
    const QString output = QString::fromUtf8(p.readAll());
    QVERIFY2(p.exitStatus() == QProcess::NormalExit, qPrintable(test + " crashed:\n" + output));
    QVERIFY2(p.exitCode() != 0, qPrintable(test + " passed without its data:\n" + output));
    QVERIFY2(output.contains(missing), qPrintable(output));
}

QTEST_GUILESS_MAIN(TestTestData)
#include "tst_testdata.moc"
