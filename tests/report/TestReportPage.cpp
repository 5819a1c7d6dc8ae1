// The printed page checked against the report's layout arithmetic, on a device that records
// what is drawn where.
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

class TestReportPage : public QObject
{
    Q_OBJECT
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

    void pageFollowsTheLayoutRules_data()
    {
        QTest::addColumn<QString>("pictures"); // one character a picture; x cannot be loaded
        QTest::newRow("no pictures") << "";
        QTest::newRow("one picture") << "0";
        QTest::newRow("three pictures") << "012";
        QTest::newRow("five pictures") << "01234";
        QTest::newRow("second of three unloadable") << "1x2";
    }
    void pageFollowsTheLayoutRules()
    {
        QFETCH(QString, pictures);
        QStringList paths;
        for (const QChar picture : pictures)
            paths << QDir::current().absoluteFilePath(picture + QStringLiteral(".png"));
        MsgBoxRecorder boxes; // patient 0 does not exist: the patient's values are set below
        DlgExport dlg;
        dlg.setInfo(0, paths);
        // Values of several words: one wrapped out of its rectangle would not be found as one line.
        for (auto* edit : dlg.findChildren<QLineEdit*>())
            edit->setText(edit->objectName().mid(2) + " value");
        for (const char* value : { "lvName", "lvSexy", "lvAge" })
            dlg.findChild<QLabel*>(value)->setText(QLatin1String(value) + " value");
        // Findings that fill most of their box: a page whose texts fit is the fixed layout.
        dlg.findChild<QPlainTextEdit*>("teJCSJ")->setPlainText(QStringLiteral("word ").repeated(100));
        PageRecorder page;
        dlg.doPrint(&page);

        const QPageLayout layout = page.pageLayout();
        QVERIFY(layout.pageSize().id() == QPageSize::A4 && layout.orientation() == QPageLayout::Portrait);
        // A4 portrait inside the 10 mm margins it came with offers 190 x 277 mm.
        QCOMPARE(layout.margins(QPageLayout::Millimeter),
            QMarginsF(0.03f * 190, 0.01f * 277, 0.03f * 190, 0.01f * 277));

        // The layout restated from its rules, in device pixels.
        const int W = page.width(), u = W / 100;
        QFont font = dlg.findChild<QLabel*>("lbName")->font();
        const auto lineHeight = [&](int weight, int pixels) {
            font.setWeight(weight);
            font.setPixelSize(pixels);
            return QFontMetrics(font, &page).height();
        };
        const int p = lineHeight(75, 160), q = lineHeight(50, 140), h = lineHeight(50, 100);
        const QFontMetricsF body(font, &page);
        const auto text = [&](const QString& name) {
            auto* label = dlg.findChild<QLabel*>(name);
            return label ? label->text() : dlg.findChild<QLineEdit*>(name)->text();
        };
        // A one-line text whose box starts at x (or ends there) with its top at `top`.
        const auto verifyLine = [&](const QString& line, qreal x, int top, bool rightAligned = false) {
            const auto t = std::find_if(
                page.texts.begin(), page.texts.end(), [&](const Text& drawn) { return drawn.text == line; });
            QVERIFY2(t != page.texts.end(), qPrintable("not drawn as one line: " + line));
            const QPointF at(
                t->baseline.x() + (rightAligned ? t->width : 0), t->baseline.y() - body.ascent());
            QVERIFY2(qAbs(at.x() - x) < 0.5 && qAbs(at.y() - top) <= 1,
                qPrintable(line + QString::asprintf(" at %g,%g, not %g,%d", at.x(), at.y(), x, top)));
        };

        const int dateY = 50 + p + q + 40, rule1 = dateY + h;
        verifyLine(text("lbDate") + " " + text("lvDate"), W, dateY, true);
        // Each value starts two grid units after its caption; the right column at 60 units.
        int y = rule1 + 30;
        for (const char* row :
            { "lbName lvName lbSexy lvSexy", "lbAge lvAge lbBeid leBeid", "lbA_ID leA_ID lbExam lvExam",
                "lbDept leDept lbDevc leDevc", "lbDiag leDiag", "lbSymp leSymp" }) {
            const QStringList names = QString(row).split(' ');
            for (int i = 0, k = 0; i < names.size(); i += 2, k = 60) {
                verifyLine(text(names[i]), k * u, y);
                verifyLine(text(names[i + 1]), (body.horizontalAdvance(text(names[i])) / u + 2 + k) * u, y);
            }
            y += 15 + h;
        }
        const int rule2 = y + 15; // 30 below the last row

        // Row A holds slots 1 and 2, row B slots 3 and 4, each picture centred in its cell; an
        // unloadable picture keeps its slot empty.
        const int used = qMin(paths.size(), 4);
        QList<Shape> images;
        for (int slot = 0; slot < used; ++slot) {
            const QImage picture(paths[slot]);
            const int cell = W / qMin(2, used - slot / 2 * 2);
            if (!picture.isNull())
                images << Shape(QRectF(int(slot % 2 * cell + (cell - 2112) / 2.0),
                                    rule2 + 30 + slot / 2 * 1218, 2112, 1188),
                    picture.pixelColor(0, 0));
        }
        QCOMPARE(page.images, images);
        const int rule3 = rule2 + 30 + (used + 1) / 2 * 1218;

        // The findings beside their caption, wrapped, and clipped to a box whose height is the
        // room left rounded down to a multiple of 8.
        const int findingsY = rule3 + 30;
        verifyLine(text("lbJCSJ"), 0, findingsY);
        const int left = QFontMetrics(font, &page).horizontalAdvance(text("lbJCSJ")) + 20;
        int box = page.height() - 30 - findingsY - 6 * h;
        box -= box % 8;
        QList<Text> findingLines;
        std::copy_if(page.texts.begin(), page.texts.end(), std::back_inserter(findingLines),
            [](const Text& t) { return t.text.startsWith("word"); });
        QVERIFY(findingLines.size() > 3);
        QCOMPARE(findingLines[0].baseline, QPointF(left, findingsY + body.ascent()));
        for (const Text& t : findingLines)
            QVERIFY(t.clip == QRectF(left, findingsY, W - left, box) && t.width <= W - left);

        y = findingsY + box;
        for (const char* field : { "BLZD", "HJBW", "Sugg" }) {
            verifyLine(text(QStringLiteral("lb") + field) + " " + field + " value", 0, y);
            y += h;
        }
        verifyLine(text("lbDoct") + " Doct value", W, y + 30, true);
        QList<Shape> rules;
        for (int ruleY : { rule1, rule2, rule3, y })
            rules << Shape(QRectF(1, ruleY, W - 2, 3), Qt::gray);
        QCOMPARE(page.fills, rules);
    }
};

KARVEX_TEST_MAIN(TestReportPage)
#include "TestReportPage.moc"
