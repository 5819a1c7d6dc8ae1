// The printed page on a device that records what is drawn where: positions in device pixels
// of an A4 page at 600 dpi, as the shipped fonts lay the texts out.
#include "DlgExport.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QTextItem>

namespace {

using Shape = QPair<QRectF, QColor>; // a filled rectangle and its colour, or an image's first pixel

struct Text {
    QString text;
    QPointF baseline;
    qreal width;
    QRectF clip; // null when no clip was in force
};

// A PDF writer at 600 dpi whose drawing is recorded instead of written.
class PageRecorder : public QPdfWriter
{
    class Engine : public QPaintEngine
    {
    public:
        explicit Engine(PageRecorder& page)
            : QPaintEngine(AllFeatures)
            , page(page)
        { }
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        Type type() const override { return User; }
        void updateState(const QPaintEngineState&) override { }
        // Filled rectangles arrive here as paths.
        void drawPath(const QPainterPath& path) override
        {
            page.fills << Shape(map(path.boundingRect()), painter()->brush().color());
        }
        void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF&) override
        {
            page.images << Shape(map(r), pixmap.toImage().pixelColor(0, 0));
        }
        void drawTextItem(const QPointF& p, const QTextItem& item) override
        {
            const QRectF clip = painter()->hasClipping() ? map(painter()->clipBoundingRect()) : QRectF();
            page.texts << Text { item.text(), painter()->transform().map(p), item.width(), clip };
        }
        QRectF map(const QRectF& rect) const { return painter()->transform().mapRect(rect); }
        PageRecorder& page;
    };

public:
    // Starts as Letter landscape with 10 mm margins, as a print dialog may leave a printer.
    PageRecorder()
        : QPdfWriter(&buffer)
    {
        setResolution(600);
        setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape, { 10, 10, 10, 10 },
            QPageLayout::Millimeter));
    }
    QPaintEngine* paintEngine() const override { return &engine; }
    QList<Text> texts;
    QList<Shape> fills, images;

private:
    QBuffer buffer;
    mutable Engine engine { *this };
};

} // namespace

Q_DECLARE_METATYPE(Shape)

class TestReportPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<PageRecorder> page;

    // Prints a report with the pictures (one character a picture; x cannot be loaded), every
    // field filled with a value of several words (one wrapped out of its rectangle would not be
    // found as one line) and findings that fill most of their box.
    void print(const QString& pictures)
    {
        QStringList paths;
        for (const QChar picture : pictures)
            paths << QDir::current().absoluteFilePath(picture + QStringLiteral(".png"));
        MsgBoxRecorder boxes; // patient 0 does not exist: the patient's values are set below
        DlgExport dlg;
        dlg.setInfo(0, paths);
        for (auto* edit : dlg.findChildren<QLineEdit*>())
            edit->setText(edit->objectName().mid(2) + " value");
        for (const char* value : { "lvName", "lvSexy", "lvAge" })
            dlg.findChild<QLabel*>(value)->setText(QLatin1String(value) + " value");
        dlg.findChild<QPlainTextEdit*>("teJCSJ")->setPlainText(QStringLiteral("word ").repeated(100));
        page.reset(new PageRecorder);
        dlg.doPrint(page.get());
    }
    // The first text drawn that starts with `start`; null text when there is none.
    Text drawn(const QString& start) const
    {
        for (const Text& text : page->texts)
            if (text.text.startsWith(start))
                return text;
        return Text();
    }
    QList<Text> findingLines() const
    {
        QList<Text> lines;
        for (const Text& text : page->texts)
            if (text.text.startsWith(QLatin1String("word")))
                lines << text;
        return lines;
    }

private slots:
    void initTestCase()
    {
        for (int i = 0; i < 5; ++i) {
            QImage image(64, 36, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(i * 60, 255, 255));
            QVERIFY(image.save(QStringLiteral("%1.png").arg(i)));
        }
        TestSupport::writeFile("x.png", "not a picture");
    }

    void pageIsA4()
    {
        print(QStringLiteral("012"));
        QCOMPARE(page->pageLayout().pageSize().id(), QPageSize::A4);
    }

    void marginsAreThreePercentBesideAndOnePercentAboveAndBelow_data()
    {
        // Of the 190 x 277 mm inside the 10 mm margins the page came with; in hundredths of a mm.
        QTest::addColumn<QString>("side");
        QTest::addColumn<int>("margin");
        QTest::newRow("left") << "left" << 570;
        QTest::newRow("top") << "top" << 277;
    }
    void marginsAreThreePercentBesideAndOnePercentAboveAndBelow()
    {
        QFETCH(QString, side);
        QFETCH(int, margin);
        print(QStringLiteral("012"));
        const QMarginsF margins = page->pageLayout().margins(QPageLayout::Millimeter);
        const QMap<QString, qreal> sides { { "left", margins.left() }, { "right", margins.right() },
            { "top", margins.top() }, { "bottom", margins.bottom() } };
        QCOMPARE(qRound(sides.value(side) * 100), margin);
    }

    void textStartsAt_data()
    {
        QTest::addColumn<QString>("pictures");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QPoint>("baseline");
        const QString three = QStringLiteral("012");
        QTest::newRow("name two units after its caption") << three << "lvName value" << QPoint(387, 660);
        QTest::newRow("findings caption without pictures")
            << QStringLiteral("") << "Findings:" << QPoint(0, 1503);
    }
    void textStartsAt()
    {
        QFETCH(QString, pictures);
        QFETCH(QString, text);
        QFETCH(QPoint, baseline);
        print(pictures);
        QCOMPARE(drawn(text).baseline.toPoint(), baseline);
    }

    void rightAlignedTextEndsAtThePageEdge_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QPoint>("end");
        QTest::newRow("doctor") << "Docotor: Doct value" << QPoint(4692, 6628);
    }
    void rightAlignedTextEndsAtThePageEdge()
    {
        QFETCH(QString, text);
        QFETCH(QPoint, end);
        print(QStringLiteral("012"));
        const Text line = drawn(text);
        QCOMPARE((line.baseline + QPointF(line.width, 0)).toPoint(), end);
    }

    void rulesAreDrawnAt_data()
    {
        QTest::addColumn<QString>("pictures");
        QTest::addColumn<QList<int>>("tops");
        QTest::newRow("two rows of pictures") << "012" << QList<int> { 539, 1352, 3818, 6507 };
    }
    void rulesAreDrawnAt()
    {
        QFETCH(QString, pictures);
        QFETCH(QList<int>, tops);
        print(pictures);
        QList<int> drawnTops;
        for (const Shape& fill : page->fills)
            drawnTops << qRound(fill.first.top());
        QCOMPARE(drawnTops, tops);
    }

    void picturesAreCentredInTheirCells_data()
    {
        QTest::addColumn<QString>("pictures");
        QTest::addColumn<QList<Shape>>("images"); // where, and the picture's colour
        const QColor red(Qt::red), yellow(Qt::yellow), green(Qt::green), cyan(Qt::cyan);
        QTest::newRow("three: the third alone in the second row")
            << "012"
            << QList<Shape> { { QRectF(117, 1382, 2112, 1188), red },
                   { QRectF(2463, 1382, 2112, 1188), yellow }, { QRectF(1290, 2600, 2112, 1188), green } };
        QTest::newRow("an unloadable one keeps its cell empty")
            << "1x2"
            << QList<Shape> { { QRectF(117, 1382, 2112, 1188), yellow },
                   { QRectF(1290, 2600, 2112, 1188), green } };
    }
    void picturesAreCentredInTheirCells()
    {
        QFETCH(QString, pictures);
        QFETCH(QList<Shape>, images);
        print(pictures);
        QCOMPARE(page->images, images);
    }

    void findingsAreClippedToTheRoomLeft_data()
    {
        // The room down to the fields below, rounded down to a multiple of 8.
        QTest::addColumn<QString>("pictures");
        QTest::addColumn<QRectF>("clip");
        QTest::newRow("two rows of pictures") << "012" << QRectF(426, 3848, 4266, 2320);
    }
    void findingsAreClippedToTheRoomLeft()
    {
        QFETCH(QString, pictures);
        QFETCH(QRectF, clip);
        print(pictures);
        QVERIFY(!findingLines().isEmpty());
        for (const Text& line : findingLines())
            QCOMPARE(line.clip, clip);
    }
};

KARVEX_TEST_MAIN(TestReportPage)
#include "TestReportPage.moc"
