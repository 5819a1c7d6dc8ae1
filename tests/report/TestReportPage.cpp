// The printed page, checked position by position against the report's layout rules on a
// device that records what is drawn where (A4, 600 dpi).
#include "DlgExport.h"
#include "PageRecorder.h"
#include "TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <optional>

namespace {

// The page layout restated from its rules, in device pixels.
struct Layout {
    int W, H, u;
    int p, q, h;
    qreal ascent; // of the 100-pixel body font
    QFont body;
    int dateY, rule1;
    int rowY[6];
    int rule2;

    Layout(const QFont& formFont, PageRecorder& device)
    {
        W = device.width();
        H = device.height();
        u = W / 100;
        QFont font = formFont;
        font.setWeight(75);
        font.setPixelSize(160);
        p = QFontMetrics(font, &device).height();
        font.setWeight(50);
        font.setPixelSize(140);
        q = QFontMetrics(font, &device).height();
        font.setPixelSize(100);
        body = font;
        h = QFontMetrics(font, &device).height();
        ascent = QFontMetricsF(font, &device).ascent();
        dateY = 50 + p + q + 40;
        rule1 = dateY + h;
        rowY[0] = rule1 + 30;
        rowY[1] = rule1 + 45 + h;
        for (int i = 2; i < 6; ++i)
            rowY[i] = rowY[i - 1] + 15 + h;
        rule2 = rowY[5] + h + 30;
    }
    qreal width(const QString& text, PageRecorder& device) const
    {
        return QFontMetricsF(body, &device).horizontalAdvance(text);
    }
    int findingsBox(int findingsY) const
    {
        int b = H - 30 - findingsY - 6 * h;
        while (b % 8 != 0)
            --b;
        return b;
    }
};

QImage solid(QColor color)
{
    QImage image(64, 36, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

} // namespace

class TestReportPage : public QObject
{
    Q_OBJECT
    const QList<QColor> colors { Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan };
    QStringList pictures;

    void fill(DlgExport& dlg, const char* name, const QString& text)
    {
        dlg.findChild<QLineEdit*>(QLatin1String(name))->setText(text);
    }

    // A report whose fields are all filled, for the given pictures. Several values have more
    // than one word: a value that wraps out of its rectangle is not found as one line.
    std::unique_ptr<DlgExport> report(const QStringList& paths)
    {
        auto dlg = std::make_unique<DlgExport>();
        dlg->setInfo(0, paths);
        fill(*dlg, "leDepart", "Endoscopy Unit");
        fill(*dlg, "leA_ID", "A 123 456");
        fill(*dlg, "leBeid", "7");
        fill(*dlg, "leDiag", "Reflux oesophagitis, grade B");
        fill(*dlg, "leDept", "Internal Medicine");
        fill(*dlg, "leDevc", "ZEN-LUX 2");
        fill(*dlg, "leSymp", "Heartburn after meals");
        fill(*dlg, "leBLZD", "none");
        fill(*dlg, "leHJBW", "oesophagus");
        fill(*dlg, "leSugg", "PPI for eight weeks");
        fill(*dlg, "leDoct", "Dr. Ines Roth");
        dlg->findChild<QPlainTextEdit*>("teJCSJ")->setPlainText("Erosions in the distal oesophagus.");
        return dlg;
    }

    static std::optional<PageRecorder::Text> line(const PageRecorder& page, const QString& text)
    {
        for (const auto& l : page.lines())
            if (l.text == text)
                return l;
        return std::nullopt;
    }

    // A one-line text vertically centred in a rectangle of height h whose top is `top`.
    static void verifyLine(const PageRecorder& page, const QString& text, qreal x, int top, const Layout& L)
    {
        const auto t = line(page, text);
        QVERIFY2(t, qPrintable("not drawn as one line: " + text));
        QVERIFY2(qAbs(t->baseline.x() - x) < 0.01,
            qPrintable(QStringLiteral("%1: x %2, expected %3").arg(text).arg(t->baseline.x()).arg(x)));
        QVERIFY2(qAbs(t->baseline.y() - (top + L.ascent)) <= 1.0,
            qPrintable(QStringLiteral("%1: baseline %2, top %3").arg(text).arg(t->baseline.y()).arg(top)));
    }

    static void verifyRightAligned(const PageRecorder& page, const QString& text, int top, const Layout& L)
    {
        const auto t = line(page, text);
        QVERIFY2(t, qPrintable("not drawn as one line: " + text));
        QVERIFY(qAbs(t->baseline.x() + t->width - L.W) < 0.5);
        QVERIFY(qAbs(t->baseline.y() - (top + L.ascent)) <= 1.0);
    }

    static void verifyRule(const PageRecorder& page, int y, const Layout& L)
    {
        for (const auto& f : page.fills) {
            if (f.rect == QRectF(1, y, L.W - 2, 3)) {
                QCOMPARE(f.color, QColor(Qt::gray));
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no rule at y %1").arg(y)));
    }

private slots:
    void initTestCase()
    {
        for (int i = 0; i < colors.size(); ++i) {
            pictures << QDir::current().absoluteFilePath(QStringLiteral("p%1.png").arg(i));
            QVERIFY(solid(colors[i]).save(pictures.last()));
        }
    }

    void pageIsA4PortraitWithMarginsFromTheDevicesSize()
    {
        // A device that comes as Letter landscape with 10 mm margins, as a print dialog may leave it.
        PageRecorder page({ 10, 10, 10, 10 });
        page.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
            { 10, 10, 10, 10 }, QPageLayout::Millimeter));
        report({})->doPrint(&page);
        const QPageLayout layout = page.pageLayout();
        QCOMPARE(layout.pageSize().id(), QPageSize::A4);
        QCOMPARE(layout.orientation(), QPageLayout::Portrait);
        // A4 portrait inside 10 mm margins offers 190 x 277 mm.
        const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
        QVERIFY(qAbs(margins.left() - 0.03f * 190) < 1e-4);
        QVERIFY(qAbs(margins.right() - 0.03f * 190) < 1e-4);
        QVERIFY(qAbs(margins.top() - 0.01f * 277) < 1e-4);
        QVERIFY(qAbs(margins.bottom() - 0.01f * 277) < 1e-4);
        QCOMPARE(page.pages, 1);
    }

    void layoutFollowsTheRules_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("no pictures") << 0;
        QTest::newRow("one picture") << 1;
        QTest::newRow("three pictures") << 3;
        QTest::newRow("five pictures") << 5;
    }
    void layoutFollowsTheRules()
    {
        QFETCH(int, count);
        auto dlg = report(pictures.mid(0, count));
        PageRecorder page;
        dlg->doPrint(&page);
        const Layout L(dlg->findChild<QLabel*>("lbName")->font(), page);

        auto text = [&](const char* name) { return dlg->findChild<QLabel*>(QLatin1String(name))->text(); };
        auto value = [&](const char* name) {
            if (auto* label = dlg->findChild<QLabel*>(QLatin1String(name)))
                return label->text();
            return dlg->findChild<QLineEdit*>(QLatin1String(name))->text();
        };

        verifyRightAligned(page, text("lbDate") + " " + text("lvDate"), L.dateY, L);
        verifyRule(page, L.rule1, L);

        // Each value starts two grid units after its caption; the right column at 60 units.
        const char* const grid[6][4] = {
            { "lbName", "lvName", "lbSexy", "lvSexy" },
            { "lbAge", "lvAge", "lbBeid", "leBeid" },
            { "lbA_ID", "leA_ID", "lbExam", "lvExam" },
            { "lbDept", "leDept", "lbDevc", "leDevc" },
            { "lbDiag", "leDiag", nullptr, nullptr },
            { "lbSymp", "leSymp", nullptr, nullptr },
        };
        for (int row = 0; row < 6; ++row) {
            for (int k : { 0, 60 }) {
                const char* const* pair = grid[row] + (k ? 2 : 0);
                if (!pair[0])
                    continue;
                const qreal captionWidth = L.width(text(pair[0]), page);
                verifyLine(page, text(pair[0]), k * L.u, L.rowY[row], L);
                verifyLine(page, value(pair[1]), (captionWidth / L.u + 2 + k) * L.u, L.rowY[row], L);
            }
        }
        verifyRule(page, L.rule2, L);

        // Pictures: row A holds entries 1 and 2, row B entries 3 and 4, each centred in its cell.
        const int used = qMin(count, 4);
        QCOMPARE(page.images.size(), used);
        for (int i = 0; i < used; ++i) {
            const int inRow = qMin(2, used - (i / 2) * 2);
            const int cell = L.W / inRow;
            const int j = i % 2;
            const int x = int(j * cell + (cell - 2112) / 2.0);
            const int y = L.rule2 + 30 + (i / 2) * 1218;
            QCOMPARE(page.images[i].rect, QRectF(x, y, 2112, 1188));
            QCOMPARE(page.images[i].image.pixelColor(0, 0), colors[i]);
        }
        const int rule3 = L.rule2 + 30 + (used + 1) / 2 * 1218;
        verifyRule(page, rule3, L);

        const int findingsY = rule3 + 30;
        const QString findingsCaption = text("lbJCSJ");
        verifyLine(page, findingsCaption, 0, findingsY, L);
        const int captionWidth = QFontMetrics(L.body, &page).horizontalAdvance(findingsCaption);
        const auto findings = line(page, "Erosions in the distal oesophagus.");
        QVERIFY(findings);
        QCOMPARE(findings->baseline, QPointF(captionWidth + 20, findingsY + L.ascent));

        const int box = L.findingsBox(findingsY);
        QCOMPARE(box % 8, 0);
        int y = findingsY + box;
        for (auto pair :
            { std::make_pair("lbBLZD", "leBLZD"), { "lbHJBW", "leHJBW" }, { "lbSugg", "leSugg" } }) {
            verifyLine(page, text(pair.first) + " " + value(pair.second), 0, y, L);
            y += L.h;
        }
        verifyRule(page, y, L);
        verifyRightAligned(page, text("lbDoct") + " " + value("leDoct"), y + 30, L);
        QCOMPARE(page.fills.size(), 4);
    }

    void unloadablePictureKeepsItsPlaceOnThePage()
    {
        const QString broken = TestSupport::writeFile("broken.png", "not a picture");
        auto dlg = report({ pictures[0], broken, pictures[2] });
        PageRecorder page;
        dlg->doPrint(&page);
        const Layout L(dlg->findChild<QLabel*>("lbName")->font(), page);
        QCOMPARE(page.images.size(), 2);
        const int half = L.W / 2;
        QCOMPARE(page.images[0].rect, QRectF(int((half - 2112) / 2.0), L.rule2 + 30, 2112, 1188));
        QCOMPARE(page.images[0].image.pixelColor(0, 0), colors[0]);
        // The third entry opens row B on its own, centred across the page.
        QCOMPARE(page.images[1].rect, QRectF(int((L.W - 2112) / 2.0), L.rule2 + 30 + 1218, 2112, 1188));
        QCOMPARE(page.images[1].image.pixelColor(0, 0), colors[2]);
    }

    void longFindingsAreWrappedAndClippedToTheBox()
    {
        auto dlg = report(pictures.mid(0, 4));
        QString findings;
        for (int i = 1; i <= 400; ++i)
            findings += QStringLiteral("word%1 ").arg(i);
        dlg->findChild<QPlainTextEdit*>("teJCSJ")->setPlainText(findings);
        PageRecorder page;
        dlg->doPrint(&page);
        const Layout L(dlg->findChild<QLabel*>("lbName")->font(), page);
        const int findingsY = L.rule2 + 30 + 2 * 1218 + 30;
        const int left
            = QFontMetrics(L.body, &page).horizontalAdvance(dlg->findChild<QLabel*>("lbJCSJ")->text()) + 20;
        const QRectF box(left, findingsY, L.W - left, L.findingsBox(findingsY));

        int inBox = 0;
        for (const auto& t : page.texts) {
            if (!t.text.startsWith("word"))
                continue;
            QCOMPARE(t.clip, box); // every findings line is drawn under the box's clip
            QVERIFY(t.width <= box.width());
            if (t.baseline.y() < box.bottom())
                ++inBox;
        }
        QVERIFY(inBox > 3); // wrapped into several lines
        QVERIFY(inBox < 400); // and far from all of it fits
    }
};

KARVEX_TEST_MAIN(TestReportPage)
#include "TestReportPage.moc"
