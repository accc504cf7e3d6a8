// The output formats, slide choices and picture resolution through the converter workers and the real office.
#include "ConverterProject.h"
#include "FidelityCheck.h"
#include "TestSupport.h"
#include "base/lxOutputOptions.h"
#include "engine/lxBatch.h"
#include "engine/lxVORLANE.h"
#include "info/lxInfo.h"
#include "platform/office/OfficeServer.h"
#include "project/lxProject.h"
#include "render/lxEmfFile.h"
#include "UemfReader.h"

#include <algorithm>

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QXmlStreamReader>
#include <QtEndian>
#include <QtTest>

namespace {
// Why a file is not a whole file of the format, or empty when it is.
QString notValid(const QString &path, const QString &format, int pngWidth) {
    const QByteArray data = TestSupport::readAll(path);
    if (data.isEmpty())
        return QStringLiteral("missing or empty");
    if (format == QLatin1String("emf"))
        return emfProblems(data);
    if (format == QLatin1String("emz")) {
        QString error;
        const QByteArray emf = TlxEmfFile::Gunzip(data, &error);
        return error.isEmpty() ? emfProblems(emf) : error;
    }
    if (format == QLatin1String("svg")) {
        QXmlStreamReader r(data);
        while (!r.atEnd() && r.readNext() != QXmlStreamReader::StartElement)
            ;
        if (r.name() != QLatin1String("svg") || r.namespaceUri() != QLatin1String("http://www.w3.org/2000/svg"))
            return QStringLiteral("no svg root");
        while (!r.atEnd())
            r.readNext();
        return r.hasError() ? r.errorString() : QString();
    }
    if (format == QLatin1String("png")) {
        const QImage image = QImage::fromData(data, "PNG");
        return image.width() == pngWidth ? QString() : QStringLiteral("%1 pixels wide").arg(image.width());
    }
    return data.startsWith("%PDF-") ? QString() : QStringLiteral("not a PDF");
}

// The pages of a PDF as the office writes one (objects in plain text).
int pdfPages(const QString &path) {
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    return int(QString::fromLatin1(TestSupport::readAll(path)).count(page));
}
// The width in pixels of the widest picture an EMF keeps in its EMF+ records (0: none): what the slide's
// pictures hold, whatever the readers of plain records are given.
int widestPicture(const QString &path) {
    const QByteArray emf = TestSupport::readAll(path);
    int widest = 0;
    for (qsizetype off = 0; off + 8 <= emf.size();) {
        const quint32 type = qFromLittleEndian<quint32>(emf.constData() + off);
        const quint32 size = qFromLittleEndian<quint32>(emf.constData() + off + 4);
        if (size < 8 || off + size > emf.size())
            break;
        // A comment with an EMF+ object record of an image: the first part of it, whole or continued.
        if (type == 70 && size >= 52 && qFromLittleEndian<quint32>(emf.constData() + off + 12) == 0x2B464D45u &&
            qFromLittleEndian<quint16>(emf.constData() + off + 16) == 0x4008) {
            const quint16 flags = qFromLittleEndian<quint16>(emf.constData() + off + 18);
            const qsizetype data = off + ((flags & 0x8000) ? 32 : 28);
            if (((flags >> 8) & 0x7f) == 5 && data + 12 <= off + size &&
                qFromLittleEndian<quint32>(emf.constData() + data + 4) == 1) // a bitmap
                widest = std::max(widest, int(qFromLittleEndian<quint32>(emf.constData() + data + 8)));
        }
        off += size;
    }
    return widest;
}
} // namespace

class TestFormats : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void eachFormatWritesWholeFiles_data();
    void eachFormatWritesWholeFiles();
    void imageResolutionShrinksOnlyLargePictures();

private:
    // Converts one deck with the options; returns the node's status and result.
    TlxNode convert(const QString &deck, const QString &target);

    std::unique_ptr<ConverterProject> m_project;
    QTemporaryDir m_out;
};

void TestFormats::initTestCase() {
    const QString problem = TestSupport::corpusProblem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    m_project = std::make_unique<ConverterProject>();
    QVERIFY(m_out.isValid());
}

void TestFormats::cleanupTestCase() {
    m_project.reset();
}

void TestFormats::init() {
    lxProject->SetOptions({});
}

TlxNode TestFormats::convert(const QString &deck, const QString &target) {
    TlxBatch batch;
    batch.AddFileAndComplete(deck);
    std::shared_ptr<TlxConvertor> head = TlxConvertor::CreateWorkers(&batch, target, [](TlxBatch *, TlxNode *) {});
    head->StartAll();
    while (!head->Ended())
        QThread::msleep(10);
    TlxNode *node = batch.LockNodes().at(0);
    batch.UnlockNodes();
    TlxNode copy;
    copy.SourceFile = node->SourceFile;
    copy.Status = node->Status;
    copy.ResultText = node->ResultText;
    return copy;
}

void TestFormats::eachFormatWritesWholeFiles_data() {
    QTest::addColumn<QString>("deck");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("slides");
    QTest::addColumn<QList<int>>("written"); // the slide files; for a PDF its pages
    // A deck with two slides and notes, and one with pictures and a table.
    for (const char *deck : {"SampleShow.pptx", "test_slides.pptx"}) {
        const bool two = QByteArray(deck) == "SampleShow.pptx";
        const QList<int> all = two ? QList<int>{1, 2} : QList<int>{1};
        for (const char *format : {"emf", "emz", "svg", "png", "pdf"})
            QTest::addRow("%s %s", deck, format) << deck << format << "" << all;
    }
    QTest::newRow("slide 2 as emf") << "SampleShow.pptx"
                                    << "emf"
                                    << "2-" << QList<int>{2};
    QTest::newRow("slide 2 as pdf") << "SampleShow.pptx"
                                    << "pdf"
                                    << "2" << QList<int>{2};
    QTest::newRow("no slide of the deck") << "SampleShow.pptx"
                                          << "svg"
                                          << "3-" << QList<int>{};
}

void TestFormats::eachFormatWritesWholeFiles() {
    QFETCH(QString, deck);
    QFETCH(QString, format);
    QFETCH(QString, slides);
    QFETCH(QList<int>, written);
    const QString source = TestSupport::corpusDir() + u'/' + deck;
    lxProject->SetOption(QStringLiteral("Format"), format);
    lxProject->SetOption(QStringLiteral("Slides"), slides);
    lxProject->SetOption(QStringLiteral("PngWidth"), QStringLiteral("640"));
    const QString target = m_out.filePath(QStringLiteral("%1-%2").arg(QTest::currentDataTag()).replace(u' ', u'_'));
    const TlxNode node = convert(source, target);
    const QString base = QFileInfo(source).completeBaseName();
    const QStringList files = QDir(target).entryList(QDir::Files | QDir::Hidden);
    if (written.isEmpty()) {
        QCOMPARE(node.Status, qint32(nsFailure));
        QVERIFY2(node.ResultText.contains(QLatin1String("none of them among the slides 3-")),
                 qPrintable(node.ResultText));
        QCOMPARE(files, QStringList());
        return;
    }
    QVERIFY2(node.Status == nsSuccess, qPrintable(node.ResultText));
    QStringList expected;
    if (format == QLatin1String("pdf")) {
        expected << base + ".pdf";
        QCOMPARE(pdfPages(target + u'/' + expected.first()), int(written.size()));
    } else {
        for (int k : written)
            expected << QFileInfo(TlxOutputOptions::SlidePath(base + u'.' + format, k)).fileName();
    }
    // Nothing else: no temporary file, no name under another extension.
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    QCOMPARE(files, sortedExpected);
    QCOMPARE(node.ResultText, target + u'/' + expected.first());
    for (const QString &file : expected)
        QVERIFY2(notValid(target + u'/' + file, format, 640).isEmpty(),
                 qPrintable(file + ": " + notValid(target + u'/' + file, format, 640)));
}

void TestFormats::imageResolutionShrinksOnlyLargePictures() {
    // Slide 2 of the photo deck shows only the master's 300 ppi background; test_slides' pictures are small.
    lxProject->SetOption(QStringLiteral("Slides"), QStringLiteral("2"));
    auto widest = [this](const QString &deck, const QString &resolution) {
        lxProject->SetOption(QStringLiteral("ImageResolution"), resolution);
        const QString target = m_out.filePath(QStringLiteral("res-%1-%2").arg(QFileInfo(deck).baseName(), resolution));
        const TlxNode node = convert(TestSupport::corpusDir() + u'/' + deck, target);
        return node.Status == nsSuccess ? widestPicture(node.ResultText) : -1;
    };
    const int kept = widest(QStringLiteral("site-photos.pptx"), QStringLiteral("0"));
    const int at220 = widest(QStringLiteral("site-photos.pptx"), QString());
    const int at96 = widest(QStringLiteral("site-photos.pptx"), QStringLiteral("96"));
    qInfo("photo slide's background: %d pixels wide as stored, %d at 220 ppi, %d at 96 ppi", kept, at220, at96);
    QCOMPARE(kept, 3000);
    // 10 inches of slide: 2200 and 960 pixels.
    QVERIFY2(qAbs(at220 - 2200) <= 10, qPrintable(QString::number(at220)));
    QVERIFY2(qAbs(at96 - 960) <= 10, qPrintable(QString::number(at96)));
    lxProject->SetOption(QStringLiteral("Slides"), QString());
    QCOMPARE(widest(QStringLiteral("test_slides.pptx"), QString()), widest(QStringLiteral("test_slides.pptx"), "0"));

    // The default still looks as the office shows the slide.
    if (const QString missing = FidelityCheck::MissingTools(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    lxProject->SetOption(QStringLiteral("Slides"), QStringLiteral("2"));
    const QString dir = m_out.filePath(QStringLiteral("look"));
    lxProject->SetOption(QStringLiteral("Format"), QStringLiteral("png"));
    lxProject->SetOption(QStringLiteral("PngWidth"), QStringLiteral("960"));
    QCOMPARE(convert(TestSupport::corpusDir() + "/site-photos.pptx", dir + "/office").Status, qint32(nsSuccess));
    lxProject->SetOption(QStringLiteral("Format"), QString());
    QCOMPARE(convert(TestSupport::corpusDir() + "/site-photos.pptx", dir + "/emf").Status, qint32(nsSuccess));
    QString error;
    QVERIFY2(FidelityCheck::Render({dir + "/emf/site-photos-2.emf"}, 960, &error), qPrintable(error));
    const double score =
        FidelityCheck::Score(dir + "/emf/site-photos-2.png", dir + "/office/site-photos-2.png", &error);
    qInfo("photo slide at 220 ppi against the office's picture: %.4f", score);
    QVERIFY2(score >= 0 && score <= FidelityCheck::kGood, qPrintable(QString::number(score) + error));
}

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
