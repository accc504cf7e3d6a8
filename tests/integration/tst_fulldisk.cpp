// A target disk that fills up, for every output format: on a small tmpfs (mounting one needs root; without it
// the test says so and skips) the deck that does not fit fails with a message that says the disk is full,
// nothing partial is left, the output it was to replace is still whole, and the run goes on to its end. A deck
// whose master carries a photo background that does not fit fails whole: never slides without their master.
#include "ConverterProject.h"
#include "TestSupport.h"
#include "engine/lxBatch.h"
#include "engine/lxVORLANE.h"
#include "info/lxInfo.h"
#include "platform/office/OfficeServer.h"
#include "project/lxProject.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/mount.h>
#include <sys/statvfs.h>

class TestFullDisk : public QObject {
    Q_OBJECT

    std::unique_ptr<ConverterProject> m_project;
    QTemporaryDir m_mount;
    QTemporaryDir m_decks;
    bool m_mounted = false;

    // Converts the decks into target in one run and returns their rows in order.
    static QList<TlxNode *> convert(TlxBatch &batch, const QStringList &decks, const QString &target) {
        for (qsizetype i = 0; i + 1 < decks.size(); ++i)
            batch.AddFile(decks.at(i));
        batch.AddFileAndComplete(decks.last());
        std::shared_ptr<TlxConvertor> head = TlxConvertor::CreateWorkers(&batch, target, [](TlxBatch *, TlxNode *) {});
        head->StartAll();
        if (!QTest::qWaitFor([&] { return head->Ended(); }, 180000))
            return {};
        const QList<TlxNode *> nodes = batch.LockNodes();
        batch.UnlockNodes();
        return nodes;
    }

private slots:
    void initTestCase() {
        const QString problem = TestSupport::corpusProblem();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        m_project = std::make_unique<ConverterProject>();
        if (::mount("tmpfs", QFile::encodeName(m_mount.path()).constData(), "tmpfs", 0, "size=4m") != 0)
            QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs at %1 (%2): run as root to test a full disk")
                                 .arg(m_mount.path(), QString::fromLocal8Bit(strerror(errno)))));
        m_mounted = true;
    }
    void cleanupTestCase() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_mount.path()).constData(), MNT_DETACH);
        m_project.reset();
    }

    void deckThatDoesNotFitFails_data() {
        QTest::addColumn<QString>("format");
        for (const char *format : {"emf", "emz", "svg", "png", "pdf"})
            QTest::newRow(format) << format;
    }
    void deckThatDoesNotFitFails() {
        QFETCH(QString, format);
        const QString target = m_mount.filePath(format);
        QVERIFY(QDir().mkpath(target));
        const QString old = target + QStringLiteral("/test_slides.") + format;
        QVERIFY(TestSupport::writeAll(old, "the last good conversion"));
        // All but a few pages of the disk taken.
        const QString filler = m_mount.filePath(QStringLiteral("filler"));
        {
            QFile f(filler);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'x');
            while (f.write(block) == block.size() && f.flush()) {
            }
        }
        QFile::resize(filler, QFileInfo(filler).size() - 4096); // less room than either deck needs in any format

        lxProject->SetOptions({QStringLiteral("Format=") + format});
        TlxBatch batch;
        const QList<TlxNode *> nodes = convert(batch,
                                               {TestSupport::corpusDir() + QStringLiteral("/test_slides.pptx"),
                                                TestSupport::corpusDir() + QStringLiteral("/smartart-simple.pptx")},
                                               target);
        QFile::remove(filler);

        // Both decks were tried: the run went on after the first.
        QCOMPARE(nodes.size(), 2);
        for (TlxNode *node : nodes) {
            QCOMPARE(node->Status, qint32(nsFailure));
            QVERIFY2(node->ResultText.contains(QLatin1String("the disk is full")), qPrintable(node->ResultText));
        }
        QCOMPARE(TestSupport::readAll(old), QByteArray("the last good conversion"));
        QCOMPARE(QDir(target).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(old).fileName()});
    }

    // The slides' own shapes fit, the master's photo background does not: the deck fails whole, no slide of it is
    // left, and the small deck after it converts with its master.
    void deckWithMasterPictureFails_data() {
        QTest::addColumn<QString>("format");
        for (const char *format : {"emf", "emz", "svg"})
            QTest::newRow(format) << format;
    }
    void deckWithMasterPictureFails() {
        QFETCH(QString, format);
        const QString photo = m_decks.filePath(QStringLiteral("photo.fodp"));
        const QString small = m_decks.filePath(QStringLiteral("small.fodp"));
        if (!QFileInfo::exists(photo)) {
            QVERIFY(TestSupport::writeAll(photo, TestSupport::photoDeck(3, QSize(2000, 1500))));
            QVERIFY(TestSupport::writeAll(small, TestSupport::photoDeck(2, QSize(40, 30))));
        }
        const QString target = m_mount.filePath(QStringLiteral("photo-") + format);
        const QString old = target + QStringLiteral("/photo.") + format;
        QVERIFY(TestSupport::writeAll(old, "the last good conversion"));

        lxProject->SetOptions({QStringLiteral("Format=") + format});
        TlxBatch batch;
        const QList<TlxNode *> nodes = convert(batch, {photo, small}, target);
        QCOMPARE(nodes.size(), 2);
        QCOMPARE(nodes.at(0)->Status, qint32(nsFailure));
        QVERIFY2(nodes.at(0)->ResultText.contains(QLatin1String("the disk is full")),
                 qPrintable(nodes.at(0)->ResultText));
        QVERIFY2(nodes.at(1)->Status == nsSuccess, qPrintable(nodes.at(1)->ResultText));
        QCOMPARE(TestSupport::readAll(old), QByteArray("the last good conversion"));
        const QStringList left = QDir(target).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        QCOMPARE(left, QStringList({QFileInfo(old).fileName(), QStringLiteral("small-2.") + format,
                                    QStringLiteral("small.") + format}));
        TestSupport::removeAll(target);
    }
};

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
