// The conversion service's request handling, without the office: the scripted application stands in for it. A
// real HTTP client (curl) talks to the service on loopback: every route, bad requests, limits, a client gone
// mid-upload, eight clients at once; no request leaves a file behind.
#include "FakePowerPoint.h"
#include "TestSupport.h"
#include "deck/DeckPackage.h"
#include "service/ServiceHttp.h"
#include "service/ServiceMetrics.h"
#include "service/ServicePool.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <memory>

namespace {
// A service on a free loopback port, ended with the object.
struct Service {
    explicit Service(ServiceOptions o) : options(std::move(o)) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        options.port = probe.serverPort();
        probe.close();
        pool = std::make_unique<ServicePool>(options.jobs, options.queue, options.timeoutSeconds, metrics);
        http = std::make_unique<ServiceHttp>(options, *pool, metrics, QStringLiteral("9.9"));
        QString error;
        started = http->Start(&error);
        pool->Start();
    }
    ~Service() {
        pool->Close();
        http->Stop();
        pool->Stop();
    }
    QString url(const QString &path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(options.port).arg(path);
    }

    ServiceOptions options;
    ServiceMetrics metrics;
    std::unique_ptr<ServicePool> pool;
    std::unique_ptr<ServiceHttp> http;
    bool started = false;
};

struct Answer {
    int status = 0;
    QByteArray body;
    QByteArray headers;
};

// curl's arguments for a request: "-F" form parts, "-H" headers, "-X" a method.
QProcess *send(const Service &s, const QString &path, const QStringList &args, const QString &bodyFile) {
    auto *curl = new QProcess;
    curl->start(QStringLiteral("curl"),
                QStringList{"-s", "-D", bodyFile + ".head", "-o", bodyFile, "-w", "%{http_code}", "--max-time", "60"}
                    << args << s.url(path));
    return curl;
}

Answer finish(QProcess *curl, const QString &bodyFile) {
    curl->waitForFinished(90000);
    Answer a{curl->readAllStandardOutput().toInt(), TestSupport::readAll(bodyFile),
             TestSupport::readAll(bodyFile + ".head")};
    delete curl;
    return a;
}

// A zip whose directory says its two parts unpack to 7.5 GB: a zip bomb, not a presentation.
QByteArray zipBomb() {
    QByteArray zip = deck::DeckPackage::Zip({{"a.xml", QByteArray(64, 'a')}, {"b.xml", QByteArray(64, 'b')}});
    for (qsizetype at = zip.indexOf("PK\x01\x02"); at >= 0; at = zip.indexOf("PK\x01\x02", at + 4))
        qToLittleEndian<quint32>(0xF0000000u, zip.data() + at + 24);
    return zip;
}
} // namespace

class TestService : public QObject {
    Q_OBJECT

    QTemporaryDir m_temp; // the service's temporary folder: empty again after every request
    QTemporaryDir m_files;
    QString m_deck;
    int m_n = 0;

    QString file(const QString &name, const QByteArray &data) {
        const QString path = m_files.filePath(name);
        TestSupport::writeAll(path, data);
        return path;
    }
    Answer request(const Service &s, const QString &path, const QStringList &args = {}) {
        const QString body = m_files.filePath(QStringLiteral("answer-%1").arg(++m_n));
        return finish(send(s, path, args, body), body);
    }
    int leftOver() const { return int(QDir(m_temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size()); }
    static ServiceOptions defaults() {
        ServiceOptions o;
        o.jobs = 2;
        o.queue = 8;
        return o;
    }

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty())
            QSKIP("curl is not installed");
        qputenv("TMPDIR", m_temp.path().toLocal8Bit());
        FakePowerPoint::Install();
        m_deck =
            file(QStringLiteral("talk.pptx"), TestSupport::pptxDeck(QStringLiteral("Arial"), QStringLiteral("Hi")));
    }
    void cleanupTestCase() { FakePowerPoint::Uninstall(); }

    void routes_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("health") << "/health" << QStringList() << 200 << "\"status\":\"ok\"";
        QTest::newRow("version") << "/version" << QStringList() << 200 << "\"version\":\"9.9\"";
        QTest::newRow("metrics") << "/metrics" << QStringList() << 200 << "vorlane_queue_length 0";
        QTest::newRow("no such route") << "/nothing" << QStringList() << 404 << "no such route";
        QTest::newRow("convert by GET") << "/convert" << QStringList() << 405 << "POST";
        QTest::newRow("wrong token") << "/version" << QStringList{"-H", "Authorization: Bearer wrong"} << 401
                                     << "token";
        QTest::newRow("right token") << "/version" << QStringList{"-H", "Authorization: Bearer s3cret"} << 200 << "9.9";
        QTest::newRow("health without token") << "/health" << QStringList() << 200 << "idle";
    }
    void routes() {
        QFETCH(QString, path);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        ServiceOptions o = defaults();
        if (QString(QTest::currentDataTag()).contains(QLatin1String("token")))
            o.token = QStringLiteral("s3cret");
        Service s(o);
        QVERIFY(s.started);
        QTRY_VERIFY(s.pool->Snapshot().ready == 2); // both offices up
        const Answer a = request(s, path, args);
        QCOMPARE(a.status, status);
        QVERIFY2(a.body.contains(says.toUtf8()), a.body.constData());
    }

    void badRequests_data() {
        QTest::addColumn<QStringList>("form");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("no file") << QStringList{"-F", "format=emf"} << 400 << "no presentation was sent";
        QTest::newRow("not a presentation") << QStringList{"-F", "files=@%notes"} << 400 << "is not a presentation";
        QTest::newRow("unknown format") << QStringList{"-F", "files=@%deck", "-F", "format=tiff"} << 400 << "tiff";
        QTest::newRow("bad slides") << QStringList{"-F", "files=@%deck", "-F", "slides=x"} << 400 << "x";
        QTest::newRow("zip bomb") << QStringList{"-F", "files=@%bomb"} << 400 << "unpacks to more than";
        QTest::newRow("not a form") << QStringList{"--data-binary", "@%deck"} << 400 << "multipart";
        QTest::newRow("too large") << QStringList{"-F", "files=@%large"} << 413 << "larger than 1 MB";
    }
    void badRequests() {
        QFETCH(QStringList, form);
        QFETCH(int, status);
        QFETCH(QString, says);
        form.replaceInStrings(QStringLiteral("%notes"), file(QStringLiteral("notes.txt"), "notes"));
        form.replaceInStrings(QStringLiteral("%deck"), m_deck);
        form.replaceInStrings(QStringLiteral("%bomb"), file(QStringLiteral("bomb.pptx"), zipBomb()));
        form.replaceInStrings(QStringLiteral("%large"), file(QStringLiteral("large.pptx"), QByteArray(3 << 20, 'x')));
        ServiceOptions o = defaults();
        o.maxUpload = 1 << 20;
        Service s(o);
        const Answer a = request(s, QStringLiteral("/convert"), form);
        QCOMPARE(a.status, status);
        QVERIFY2(a.body.contains(says.toUtf8()), a.body.constData());
        QTRY_COMPARE(leftOver(), 0);
    }

    // Decks of the same name keep apart ("-2"); a name sent with folders in it is only a name.
    void convertsAndNames() {
        Service s(defaults());
        const QString other = file(QStringLiteral("other.PPTX"), TestSupport::pptxDeck("Arial", "Two"));
        const Answer a = request(s, QStringLiteral("/convert"),
                                 {"-F", "files=@" + m_deck, "-F", "files=@" + other + ";filename=../../talk.PPTX", "-F",
                                  "files=@" + other + ";filename=../../etc/passwd.pptx", "-F", "format=svg"});
        QCOMPARE(a.status, 200);
        QVERIFY(a.headers.contains("application/zip"));
        const deck::DeckPackage zip(file(QStringLiteral("answer.zip"), a.body));
        QVERIFY(zip.IsOpen());
        QCOMPARE(zip.Parts().size(), 4);
        for (const char *name : {"talk.svg", "talk-2.svg", "passwd.svg", "report.json"})
            QVERIFY2(zip.Has(QLatin1String(name)), name);
        const QJsonObject report = QJsonDocument::fromJson(zip.Read(QStringLiteral("report.json"))).object();
        QCOMPARE(report.value("format").toString(), QStringLiteral("svg"));
        QCOMPARE(report.value("decks").toArray().size(), 3);
        QTRY_COMPARE(leftOver(), 0);
    }

    // Every deck failing is 422 with the reasons, which name the decks as sent, not the service's folders.
    void everyDeckFails() {
        Service s(defaults());
        FakePowerPoint::script().failOpen.insert(QStringLiteral("*"));
        const Answer a = request(s, QStringLiteral("/convert"), {"-F", "files=@" + m_deck});
        FakePowerPoint::script().failOpen.clear();
        QCOMPARE(a.status, 422);
        QVERIFY2(a.body.contains("Cannot open talk.pptx") && !a.body.contains(m_temp.path().toUtf8()), a.body);
        QTRY_COMPARE(leftOver(), 0);
    }

    // With one worker busy and no queue, a second request is told to come back; a stopping service says so.
    void busyAndStopping() {
        ServiceOptions o = defaults();
        o.jobs = 1;
        o.queue = 0;
        FakePowerPoint::script().saveAsMs = 1500;
        Service s(o);
        QTRY_VERIFY(s.pool->Snapshot().ready == 1);
        const QString first = m_files.filePath(QStringLiteral("first"));
        QProcess *running = send(s, QStringLiteral("/convert"), {"-F", "files=@" + m_deck}, first);
        QTRY_VERIFY(s.pool->Snapshot().busy == 1);
        const Answer full = request(s, QStringLiteral("/convert"), {"-F", "files=@" + m_deck});
        QCOMPARE(full.status, 429);
        QVERIFY(full.headers.contains("Retry-After"));
        s.http->Drain();
        const Answer health = request(s, QStringLiteral("/health"));
        QCOMPARE(health.status, 503);
        QVERIFY(health.headers.contains("Retry-After") && health.body.contains("stopping"));
        QCOMPARE(request(s, QStringLiteral("/convert"), {"-F", "files=@" + m_deck}).status, 503);
        QCOMPARE(finish(running, first).status, 200); // the request in hand finishes
        FakePowerPoint::script().saveAsMs = 0;
        QVERIFY(request(s, QStringLiteral("/metrics")).body.contains("vorlane_requests_total{status=\"429\"} 1"));
    }

    // A Callback-Url: refused unless the service was told the host; else 202 at once and the ZIP POSTed there.
    void callbacks_data() {
        QTest::addColumn<QString>("allow");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("status");
        QTest::newRow("off") << ""
                             << "127.0.0.1" << 403;
        QTest::newRow("another host") << "hooks.example.org"
                                      << "127.0.0.1" << 403;
        QTest::newRow("allowed") << "localhost,127.0.0.1"
                                 << "127.0.0.1" << 202;
    }
    void callbacks() {
        QFETCH(QString, allow);
        QFETCH(QString, host);
        QFETCH(int, status);
        if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
            QSKIP("python3 is not installed");
        ServiceOptions o = defaults();
        o.callbackAllow = allow.split(u',', Qt::SkipEmptyParts);
        Service s(o);
        // A receiver on loopback: takes one POST, keeps its body and status header.
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        const QString got = m_files.filePath(QStringLiteral("callback.zip"));
        QFile::remove(got);
        QProcess receiver;
        receiver.start(QStringLiteral("python3"),
                       {"-c",
                        "import http.server,sys\n"
                        "class H(http.server.BaseHTTPRequestHandler):\n"
                        "  def do_POST(self):\n"
                        "    n=int(self.headers['Content-Length']); d=self.rfile.read(n)\n"
                        "    open(sys.argv[2],'wb').write(d); self.send_response(204); self.end_headers()\n"
                        "http.server.HTTPServer(('127.0.0.1',int(sys.argv[1])),H).handle_request()\n",
                        QString::number(port), got});
        QVERIFY(receiver.waitForStarted());
        const QString url = QStringLiteral("http://%1:%2/done").arg(host).arg(port);
        const Answer a =
            request(s, QStringLiteral("/convert"), {"-H", "Callback-Url: " + url, "-F", "files=@" + m_deck});
        QCOMPARE(a.status, status);
        if (status == 202) {
            QVERIFY(receiver.waitForFinished(30000));
            QVERIFY(deck::DeckPackage(got).Has(QStringLiteral("report.json")));
        }
        receiver.kill();
        receiver.waitForFinished();
        QTRY_COMPARE(s.http->InHand(), 0);
        QTRY_COMPARE(leftOver(), 0);
    }

    // A client that goes away mid-upload leaves no file behind.
    void clientGoneMidUpload() {
        Service s(defaults());
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(s.options.port));
        QVERIFY(socket.waitForConnected(5000));
        socket.write("POST /convert HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; boundary=XyZ\r\n"
                     "Content-Length: 900000\r\n\r\n--XyZ\r\nContent-Disposition: form-data; name=\"files\"; "
                     "filename=\"talk.pptx\"\r\n\r\n");
        socket.write(QByteArray(200000, 'x'));
        QVERIFY(socket.waitForBytesWritten(5000));
        QTRY_COMPARE(s.http->InHand(), 1);
        QTRY_VERIFY(leftOver() == 1); // the upload's folder, while the upload lasts
        socket.abort();
        QTRY_COMPARE(s.http->InHand(), 0);
        QTRY_COMPARE(leftOver(), 0);
    }

    // Eight clients at once, two workers: every request answered whole, nothing left behind.
    void eightClients() {
        FakePowerPoint::script().saveAsMs = 100;
        Service s(defaults());
        QList<QPair<QProcess *, QString>> clients;
        for (int i = 0; i < 8; ++i) {
            const QString body = m_files.filePath(QStringLiteral("client-%1").arg(i));
            clients.append({send(s, QStringLiteral("/convert"), {"-F", "files=@" + m_deck}, body), body});
        }
        for (const auto &[curl, body] : clients) {
            const Answer a = finish(curl, body);
            QCOMPARE(a.status, 200);
            QVERIFY(deck::DeckPackage(file(QStringLiteral("eight.zip"), a.body)).Has(QStringLiteral("talk.emf")));
        }
        FakePowerPoint::script().saveAsMs = 0;
        QVERIFY(request(s, QStringLiteral("/metrics")).body.contains("vorlane_decks_converted_total 8"));
        QTRY_COMPARE(leftOver(), 0);
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
