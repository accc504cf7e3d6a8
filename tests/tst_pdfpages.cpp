#include "render/PdfPages.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTest>
#include <QXmlStreamReader>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// A PDF of pages 254 x 190.5 mm (a 4:3 slide), each with a red box whose width tells the page.
QByteArray slidesPdf(int pages) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QSizeF(254, 190.5), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF());
    writer.setResolution(72);
    QPainter painter(&writer);
    for (int k = 0; k < pages; ++k) {
        if (k > 0)
            writer.newPage();
        painter.fillRect(QRect(0, 0, 100 * (k + 1), 100), Qt::red);
        painter.drawText(QPoint(20, 300), QStringLiteral("Slide %1").arg(k + 1));
    }
    painter.end();
    return pdf;
}

QString svgRoot(const QByteArray &svg) {
    QXmlStreamReader reader(svg);
    while (!reader.atEnd() && reader.readNext() != QXmlStreamReader::StartElement) {
    }
    const QString root = reader.name().toString() + u' ' + reader.attributes().value("width").toString();
    while (!reader.atEnd())
        reader.readNext();
    return reader.hasError() ? reader.errorString() : root;
}

// How much of the picture's width its red box covers, read along one row.
double redShare(const QImage &picture) {
    int red = 0;
    for (int x = 0; x < picture.width(); ++x)
        red += QColor(picture.pixel(x, picture.height() / 20)).red() > 200 &&
               QColor(picture.pixel(x, picture.height() / 20)).green() < 60;
    return double(red) / picture.width();
}

} // namespace

class TestPdfPages : public QObject {
    Q_OBJECT
private slots:
    void pagesAsSvgAndPng() {
        const PdfPages pages(slidesPdf(3));
        QVERIFY2(pages.Error().isEmpty(), qPrintable(pages.Error()));
        QCOMPARE(pages.Count(), 3);
        for (int k = 0; k < 3; ++k) {
            QString error;
            const QByteArray svg = pages.Svg(k, &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(svgRoot(svg), QStringLiteral("svg 720pt"));
            const QImage png = QImage::fromData(pages.Png(k, 640, &error), "PNG");
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(png.size(), QSize(640, 480));
            // Each page drawn is its own: the box is 100 points wide a page, of 720.
            QVERIFY2(qAbs(redShare(png) - (k + 1) * 100.0 / 720) < 0.01, qPrintable(QString::number(redShare(png))));
        }
    }

    void whatIsNotAWholePdf_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("not a pdf") << QByteArray("<svg/>");
        QTest::newRow("cut in half") << slidesPdf(2).left(400);
    }
    void whatIsNotAWholePdf() {
        QFETCH(QByteArray, data);
        const PdfPages pages(data);
        QVERIFY(!pages.Error().isEmpty());
        QCOMPARE(pages.Count(), 0);
        QString error;
        QVERIFY(pages.Svg(0, &error).isEmpty());
        QVERIFY(error.contains(QLatin1String("no page 1")));
    }

    void pageThatIsNotThere() {
        const PdfPages pages(slidesPdf(1));
        QString error;
        QVERIFY(pages.Png(1, 100, &error).isEmpty());
        QCOMPARE(error, QStringLiteral("the office's PDF has no page 2"));
    }

    // Workers draw their decks' pages at the same time, each from a document of its own.
    void workersDrawAtOnce() {
        const QByteArray pdf = slidesPdf(4);
        std::atomic<int> good{0};
        std::vector<std::thread> workers;
        for (int w = 0; w < 6; ++w) {
            workers.emplace_back([&pdf, &good, w] {
                const PdfPages pages(pdf);
                for (int k = 0; k < pages.Count(); ++k) {
                    QString error;
                    const bool whole = w % 2 ? !pages.Svg(k, &error).isEmpty() : !pages.Png(k, 320, &error).isEmpty();
                    good += whole && error.isEmpty();
                }
            });
        }
        for (std::thread &t : workers)
            t.join();
        QCOMPARE(good.load(), 6 * 4);
    }
};

QTEST_MAIN(TestPdfPages)
#include "tst_pdfpages.moc"
