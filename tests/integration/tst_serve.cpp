// The conversion service as users run it: the program with --serve and the real office, a real HTTP client on
// loopback. Bundled decks in every format, an office that hangs during a request, SIGTERM with requests in
// flight, and a bounded soak: memory and descriptors flat, no office and no temporary file left.
#include "TestSupport.h"
#include "deck/DeckPackage.h"
#include "render/lxEmfFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {
const QString kDecks = QStringLiteral(VORLANE_SOURCE_DIR "/tests/data/decks/");

// The office processes (soffice.bin) whose parent is pid.
QList<pid_t> officesOf(qint64 pid) {
    QList<pid_t> found;
    for (const QString &e : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = TestSupport::readAll(QStringLiteral("/proc/%1/stat").arg(e));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0 || !stat.contains("(soffice.bin)") || stat.mid(close + 2, 1) == "Z")
            continue;
        if (stat.mid(close + 2).split(' ').value(1).toLongLong() == pid)
            found << pid_t(e.toInt());
    }
    return found;
}

// The resident memory (kB) and open descriptors of a process.
QPair<qint64, int> footprint(qint64 pid) {
    qint64 rss = 0;
    for (const QByteArray &line : TestSupport::readAll(QStringLiteral("/proc/%1/status").arg(pid)).split('\n'))
        if (line.startsWith("VmRSS:"))
            rss = line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return {
        rss,
        int(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size())};
}
} // namespace

class TestServe : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_service;
    int m_port = 0;
    int m_n = 0;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    void start(const QStringList &extra = {}) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
        probe.close();
        m_service = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), path(QStringLiteral("tmp")));
        env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        m_service->setProcessEnvironment(env);
        m_service->start(QStringLiteral(VORLANE_BINARY_DIR "/src/vorlane"),
                         QStringList{"--serve", "--port", QString::number(m_port), "--jobs", "2"} << extra);
        QVERIFY(m_service->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(send("/health").first == 200, 60000); // both offices up
    }
    // curl's status and the answer's body.
    QPair<int, QByteArray> send(const QString &route, const QStringList &form = {}) {
        const QString body = path(QStringLiteral("answer-%1").arg(++m_n));
        QProcess curl;
        curl.start(QStringLiteral("curl"), QStringList{"-s", "-o", body, "-w", "%{http_code}", "--max-time", "300"}
                                               << form
                                               << QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(route));
        curl.waitForFinished(320000);
        const QByteArray answer = TestSupport::readAll(body);
        QFile::remove(body);
        return {curl.readAllStandardOutput().toInt(), answer};
    }
    // The requests' folders still there (the offices keep their profiles beside them).
    int leftOver() const {
        return int(QDir(path(QStringLiteral("tmp")))
                       .entryList({QStringLiteral("vorlane-request-*")}, QDir::NoDotAndDotDot | QDir::AllEntries)
                       .size());
    }

private slots:
    void init() {
        if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty())
            QSKIP("curl is not installed");
        m_dir = std::make_unique<QTemporaryDir>();
        QDir().mkpath(path(QStringLiteral("tmp")));
        QDir().mkpath(path(QStringLiteral("home")));
    }
    void cleanup() {
        if (m_service && m_service->state() != QProcess::NotRunning) {
            m_service->terminate();
            m_service->waitForFinished(60000);
        }
        m_service.reset();
        m_dir.reset();
    }

    void bundledDecks_data() {
        QTest::addColumn<QString>("format");
        for (const char *f : {"emf", "emz", "svg", "png", "pdf"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }
    // Every file of the answer is a whole file of its format, named as a batch run names it.
    void bundledDecks() {
        QFETCH(QString, format);
        start();
        const auto [status, body] = send("/convert", {"-F", "files=@" + kDecks + "SampleShow.pptx", "-F",
                                                      "files=@" + kDecks + "bar-chart.pptx", "-F", "format=" + format});
        QCOMPARE(status, 200);
        TestSupport::writeAll(path("answer.zip"), body);
        const deck::DeckPackage zip(path("answer.zip"));
        const QJsonArray decks = QJsonDocument::fromJson(zip.Read("report.json")).object().value("decks").toArray();
        QCOMPARE(decks.size(), 2);
        for (const QJsonValue &d : decks) {
            QCOMPARE(d["status"].toString(), QStringLiteral("converted"));
            QVERIFY(d["slides"].toInt() >= 1);
            for (const QJsonValue &f : d["files"].toArray()) {
                const QByteArray data = zip.Read(f.toString());
                QVERIFY2(f.toString().endsWith(u'.' + format), qPrintable(f.toString()));
                QString why;
                if (format.startsWith(QLatin1String("em")))
                    QCOMPARE(TlxEmfFile::Check(format == u"emz" ? TlxEmfFile::Gunzip(data, &why) : data), QString());
                else
                    QVERIFY(data.size() > 100);
            }
        }
        QVERIFY(zip.Has("SampleShow.pdf") || zip.Has("SampleShow." + format));
        QTRY_COMPARE(leftOver(), 0);
    }

    // An office that stops answering during a request: that deck fails on the time limit, the office is
    // replaced, the next request is converted.
    void hungOffice() {
        start({"--timeout", "8", "--jobs", "1"});
        const QList<pid_t> before = officesOf(m_service->processId());
        QCOMPARE(before.size(), 1);
        ::kill(before.first(), SIGSTOP);
        const auto [status, body] = send("/convert", {"-F", "files=@" + kDecks + "SampleShow.pptx"});
        QCOMPARE(status, 422);
        QVERIFY2(body.contains("SampleShow.pptx") && !body.contains(path("tmp").toUtf8()), body.constData());
        QCOMPARE(send("/convert", {"-F", "files=@" + kDecks + "bar-chart.pptx"}).first, 200);
        QVERIFY(!officesOf(m_service->processId()).contains(before.first()));
        const QByteArray metrics = send("/metrics").second;
        QVERIFY2(!metrics.contains("vorlane_office_restarts_total 0\n"), metrics.constData());
        QVERIFY(metrics.contains("vorlane_deck_failures_total 1\n"));
    }

    // SIGTERM with requests in flight: they finish, new ones are refused, the process ends with its offices.
    void sigtermDrains() {
        start({"--drain", "120"});
        const qint64 pid = m_service->processId();
        const QList<pid_t> offices = officesOf(pid);
        QList<QProcess *> clients;
        for (const char *deck : {"site-photos.pptx", "site-photos.pptx"}) {
            auto *curl = new QProcess(this);
            curl->start("curl",
                        {"-s", "-o", "/dev/null", "-w", "%{http_code}", "-F", "files=@" + kDecks + QLatin1String(deck),
                         "-F", "format=png", QStringLiteral("http://127.0.0.1:%1/convert").arg(m_port)});
            clients << curl;
        }
        QTRY_VERIFY_WITH_TIMEOUT(leftOver() == 2, 20000); // both requests in hand
        ::kill(pid_t(pid), SIGTERM);
        for (QProcess *c : clients) {
            QVERIFY(c->waitForFinished(200000));
            QCOMPARE(c->readAllStandardOutput(), QByteArray("200"));
        }
        QVERIFY(m_service->waitForFinished(120000));
        QCOMPARE(m_service->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_service->exitCode(), 0);
        for (pid_t office : offices)
            QTRY_VERIFY_WITH_TIMEOUT(::kill(office, 0) != 0, 10000);
        QCOMPARE(leftOver(), 0);
    }

    // Many requests in a row (200, or 3 minutes): the service's memory and descriptors stay flat, its offices
    // the same two, nothing left in its temporary folder. Debian 12 only, to keep the test command's time.
    void soak() {
        if (!TestSupport::readAll("/etc/debian_version").startsWith("12"))
            QSKIP("the soak runs on Debian 12");
        start();
        const qint64 pid = m_service->processId();
        for (int i = 0; i < 10; ++i) // the offices' and allocator's first growth
            QCOMPARE(send("/convert", {"-F", "files=@" + kDecks + "bar-chart.pptx"}).first, 200);
        const auto [rss0, fds0] = footprint(pid);
        const QList<pid_t> offices = officesOf(pid);
        QElapsedTimer spent;
        spent.start();
        int done = 10;
        for (; done < 200 && spent.elapsed() < 180000; ++done)
            QCOMPARE(send("/convert", {"-F", "files=@" + kDecks + (done % 2 ? "bar-chart.pptx" : "test_slides.pptx"),
                                       "-F", done % 3 ? "format=emf" : "format=svg"})
                         .first,
                     200);
        const auto [rss, fds] = footprint(pid);
        qInfo("soak: %d requests, service memory %lld kB -> %lld kB, descriptors %d -> %d", done, rss0, rss, fds0, fds);
        QVERIFY2(rss - rss0 < 64 * 1024, "the service grew by more than 64 MB"); // the bound the README states
        QVERIFY(fds <= fds0 + 4);
        QCOMPARE(officesOf(pid), offices);
        // The last request's folder goes when its answer has been sent, which the client may see first.
        QTRY_COMPARE(leftOver(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServe)
#include "tst_serve.moc"
