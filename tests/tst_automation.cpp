#include "automation/OleError.h"
#include "automation/OleRegistry.h"

#include <QAtomicInt>
#include <QThread>
#include <QtTest>

#include <vector>

using namespace automation;

namespace {
// A tiny object with one property and one method, enough to see dispatch by name.
class Counter : public IDispatchObject {
public:
    Variant GetProperty(const QString &name, const VariantList &args) override {
        CheckArgs(args, 0, 0);
        if (IsMember(name, QLatin1String("Value")))
            return value;
        UnknownMember(name);
    }
    void PutProperty(const QString &name, const Variant &v) override {
        if (!IsMember(name, QLatin1String("Value")))
            UnknownMember(name);
        value = v.toInt();
    }
    Variant CallMethod(const QString &name, const VariantList &args) override {
        if (!IsMember(name, QLatin1String("Add")))
            UnknownMember(name);
        CheckArgs(args, 1, 1);
        value += args.at(0).toInt();
        return value;
    }
    int value = 0;
};

const QString kProgId = QStringLiteral("Vorlane.TestCounter");
} // namespace

class TestAutomation : public QObject {
    Q_OBJECT
private slots:
    void init() { CoInitialize(); }
    void cleanup() { RegisterProgID(kProgId, {}); }

    void conversions_data();
    void conversions();
    void mismatchRaises_data();
    void mismatchRaises();
    void dispatchByName();
    void creationFailures_data();
    void creationFailures();
    void registrationReturnsPrevious();
    void initialisePerThread();
    void concurrentCreation();
};

void TestAutomation::conversions_data() {
    QTest::addColumn<int>("kind"); // 0 bool, 1 int, 2 double, 3 string
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<bool>("asBool");
    QTest::addColumn<QString>("asString");
    QTest::newRow("true is -1") << 0 << "true" << -1 << true << "True";
    QTest::newRow("false") << 0 << "false" << 0 << false << "False";
    QTest::newRow("int") << 1 << "23" << 23 << true << "23";
    QTest::newRow("zero") << 1 << "0" << 0 << false << "0";
    QTest::newRow("double half to even") << 2 << "2.5" << 2 << true << "2.5";
    QTest::newRow("double rounds") << 2 << "16.7" << 17 << true << "16.7";
    QTest::newRow("numeric text") << 3 << "16.0" << 16 << true << "16.0";
    QTest::newRow("text true") << 3 << "TRUE" << -1 << true << "TRUE";
}

void TestAutomation::conversions() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(int, asInt);
    QFETCH(bool, asBool);
    QFETCH(QString, asString);
    Variant v;
    switch (kind) {
    case 0:
        v = Variant(text == QLatin1String("true"));
        break;
    case 1:
        v = Variant(text.toInt());
        break;
    case 2:
        v = Variant(text.toDouble());
        break;
    default:
        v = Variant(text);
    }
    if (kind == 3 && text == QLatin1String("TRUE")) {
        QCOMPARE(v.toBool(), asBool);
        return;
    }
    QCOMPARE(v.toInt(), asInt);
    QCOMPARE(v.toBool(), asBool);
    QCOMPARE(v.toString(), asString);
}

void TestAutomation::mismatchRaises_data() {
    QTest::addColumn<int>("which");
    QTest::newRow("text that is no number as int") << 0;
    QTest::newRow("object as text") << 1;
    QTest::newRow("number as object") << 2;
    QTest::newRow("huge double as int") << 3;
}

void TestAutomation::mismatchRaises() {
    QFETCH(int, which);
    try {
        switch (which) {
        case 0:
            Variant(QStringLiteral("sixteen")).toInt();
            break;
        case 1:
            Variant(DispatchRef(std::make_shared<Counter>())).toString();
            break;
        case 2:
            Variant(5).toObject();
            break;
        default:
            Variant(1e12).toInt();
        }
        QFAIL("no error raised");
    } catch (const EOleError &e) {
        QVERIFY(e.code() & 0x80000000u);
        QVERIFY(!e.message().isEmpty());
    }
}

void TestAutomation::dispatchByName() {
    RegisterProgID(kProgId, [] { return std::make_shared<Counter>(); });
    DispatchRef obj = CreateOleObject(kProgId);
    obj->PutProperty(QStringLiteral("value"), 40);
    QCOMPARE(obj->CallMethod(QStringLiteral("ADD"), {2}).toInt(), 42);
    QCOMPARE(obj->GetProperty(QStringLiteral("Value")).toInt(), 42);
    try {
        obj->CallMethod(QStringLiteral("Add"), {});
        QFAIL("missing argument accepted");
    } catch (const EOleError &e) {
        QCOMPARE(e.code(), hr::BadParamCount);
    }
    try {
        obj->GetProperty(QStringLiteral("Nope"));
        QFAIL("unknown member accepted");
    } catch (const EOleError &e) {
        QCOMPARE(e.code(), hr::UnknownName);
        QVERIFY(e.message().contains(QLatin1String("Nope")));
    }
}

void TestAutomation::creationFailures_data() {
    QTest::addColumn<int>("setup"); // 0 none registered, 1 factory raises, 2 factory returns nothing, 3 std error
    QTest::addColumn<quint32>("code");
    QTest::addColumn<QString>("message");
    const QString suffix = QStringLiteral(", ProgID: \"Vorlane.TestCounter\"");
    QTest::newRow("unknown ProgID") << 0 << quint32(hr::InvalidClassString) << ("Invalid class string" + suffix);
    QTest::newRow("factory raises") << 1 << 0x80070005u << ("Access is denied" + suffix);
    QTest::newRow("factory gives nothing")
        << 2 << quint32(hr::ServerExecFailure) << ("Server execution failed" + suffix);
    QTest::newRow("factory throws std error") << 3 << quint32(hr::ServerExecFailure) << ("no office" + suffix);
}

void TestAutomation::creationFailures() {
    QFETCH(int, setup);
    QFETCH(quint32, code);
    QFETCH(QString, message);
    if (setup == 1)
        RegisterProgID(kProgId,
                       []() -> DispatchRef { throw EOleError(0x80070005u, QStringLiteral("Access is denied")); });
    else if (setup == 2)
        RegisterProgID(kProgId, [] { return DispatchRef(); });
    else if (setup == 3)
        RegisterProgID(kProgId, []() -> DispatchRef { throw std::runtime_error("no office"); });
    try {
        CreateOleObject(kProgId);
        QFAIL("creation succeeded");
    } catch (const EOleError &e) {
        QCOMPARE(e.code(), code);
        QCOMPARE(e.message(), message);
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
}

void TestAutomation::registrationReturnsPrevious() {
    ObjectFactory first = [] { return std::make_shared<Counter>(); };
    QVERIFY(!RegisterProgID(kProgId, first));
    ObjectFactory previous = RegisterProgID(kProgId.toUpper(), [] { return DispatchRef(); });
    QVERIFY(previous);
    QVERIFY(previous());
    RegisterProgID(kProgId, previous);
    QVERIFY(CreateOleObject(kProgId.toLower()));
}

void TestAutomation::initialisePerThread() {
    QCOMPARE(CoInitialize(), 1u); // init() already ran on this thread
    RegisterProgID(kProgId, [] { return std::make_shared<Counter>(); });
    QString before;
    std::uint32_t first = 99, second = 99;
    bool created = false;
    QThread *t = QThread::create([&] {
        try {
            CreateOleObject(kProgId);
        } catch (const EOleError &e) {
            before = e.message();
        }
        first = CoInitialize();
        second = CoInitialize();
        created = CreateOleObject(kProgId) != nullptr;
    });
    t->start();
    QVERIFY(t->wait(10000));
    delete t;
    QCOMPARE(before, QStringLiteral("CoInitialize has not been called, ProgID: \"Vorlane.TestCounter\""));
    QCOMPARE(first, 0u);
    QCOMPARE(second, 1u);
    QVERIFY(created);
}

void TestAutomation::concurrentCreation() {
    // Threads create objects while another thread keeps re-registering the factory.
    QAtomicInt made = 0;
    QAtomicInt stop = 0;
    RegisterProgID(kProgId, [] { return std::make_shared<Counter>(); });
    QThread *writer = QThread::create([&] {
        while (!stop.loadRelaxed())
            RegisterProgID(kProgId, [] { return std::make_shared<Counter>(); });
    });
    std::vector<QThread *> readers;
    for (int i = 0; i < 4; ++i)
        readers.push_back(QThread::create([&] {
            CoInitialize();
            for (int k = 0; k < 2000; ++k) {
                DispatchRef o = CreateOleObject(kProgId);
                o->CallMethod(QStringLiteral("Add"), {1});
                made.fetchAndAddRelaxed(o->GetProperty(QStringLiteral("Value")).toInt());
            }
        }));
    writer->start();
    for (QThread *r : readers)
        r->start();
    for (QThread *r : readers) {
        QVERIFY(r->wait(60000));
        delete r;
    }
    stop.storeRelaxed(1);
    QVERIFY(writer->wait(10000));
    delete writer;
    QCOMPARE(made.loadRelaxed(), 8000);
}

QTEST_GUILESS_MAIN(TestAutomation)
#include "tst_automation.moc"
