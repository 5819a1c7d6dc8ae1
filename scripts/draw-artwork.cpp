// Draws the pictures in res/ and the program icon of the desktop menu in packaging/icons/.
// Run once after changing the artwork, from the repository root:
//   g++ -std=c++17 -fPIC scripts/draw-artwork.cpp $(pkg-config --cflags --libs Qt5Gui Qt5Svg) \
//       -o /tmp/draw-artwork
//   QT_QPA_PLATFORM=offscreen /tmp/draw-artwork res packaging/icons
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>

namespace {
QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QPainterPath rounded(const QRectF& r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// A card with a coloured picture area on top and a white caption strip below: the mode
// dialog lays its caption over the lower quarter of the picture.
void drawCard(QPainter& p, const QColor& top, const QColor& bottom)
{
    const QRectF card(14, 8, 228, 236);
    for (int i = 6; i >= 1; --i) { // soft shadow
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 40, 60, 10));
        p.drawPath(rounded(card.adjusted(-i, -i + 3, i, i + 3), 28 + i));
    }
    const QPainterPath shape = rounded(card, 28);
    p.save();
    p.setClipPath(shape);
    p.fillRect(card, QColor(255, 255, 255));
    QLinearGradient g(0, card.top(), 0, 186);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(QRectF(card.left(), card.top(), card.width(), 186 - card.top()), g);
    QLinearGradient gloss(0, card.top(), 0, 110);
    gloss.setColorAt(0, QColor(255, 255, 255, 50));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(card.left(), card.top(), card.width(), 100), gloss);
    p.restore();
    p.setPen(QPen(QColor(0, 0, 0, 40), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
}

QImage camera()
{
    QImage image = canvas(256, 256);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor dark(24, 86, 160);
    drawCard(p, QColor(66, 150, 230), dark);

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(98, 46, 60, 22), 7, 7); // viewfinder hump
    p.drawRoundedRect(QRectF(58, 60, 140, 96), 18, 18); // body
    p.setBrush(QColor(255, 255, 255, 120));
    p.drawRoundedRect(QRectF(70, 52, 22, 12), 4, 4); // flash
    const QPointF c(128, 109);
    p.setBrush(dark);
    p.drawEllipse(c, 38, 38);
    p.setBrush(Qt::white);
    p.drawEllipse(c, 31, 31);
    QRadialGradient lens(c + QPointF(-8, -8), 30);
    lens.setColorAt(0, QColor(120, 190, 255));
    lens.setColorAt(1, QColor(16, 60, 120));
    p.setBrush(lens);
    p.drawEllipse(c, 26, 26);
    p.setBrush(QColor(8, 30, 64));
    p.drawEllipse(c, 11, 11);
    p.setBrush(QColor(255, 255, 255, 210));
    p.drawEllipse(c + QPointF(-10, -10), 6, 6);
    p.setBrush(QColor(232, 64, 60));
    p.drawEllipse(QPointF(182, 76), 6, 6); // recording lamp
    return image;
}

QImage patient()
{
    QImage image = canvas(256, 256);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor dark(16, 128, 108);
    drawCard(p, QColor(48, 196, 166), dark);

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(118, 78), 30, 30); // head
    QPainterPath shoulders;
    shoulders.moveTo(58, 186);
    shoulders.cubicTo(58, 128, 86, 116, 118, 116);
    shoulders.cubicTo(150, 116, 178, 128, 178, 186);
    shoulders.closeSubpath();
    p.drawPath(shoulders);

    // Medical badge: a white disc with a cross, ringed in the card colour.
    const QPointF b(176, 142);
    p.setBrush(dark);
    p.drawEllipse(b, 30, 30);
    p.setBrush(Qt::white);
    p.drawEllipse(b, 25, 25);
    p.setBrush(QColor(226, 62, 62));
    p.drawRoundedRect(QRectF(b.x() - 6, b.y() - 17, 12, 34), 2.5, 2.5);
    p.drawRoundedRect(QRectF(b.x() - 17, b.y() - 6, 34, 12), 2.5, 2.5);
    return image;
}

// The program icon: the camera of the mode choice on a full tile, with the medical badge of
// the patient picture. Drawn on a 256 grid without clipping, so the scalable version shows
// exactly what the pixel sizes show.
void drawProgramIcon(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(12, 12, 232, 232);
    const QColor dark(24, 86, 160);
    QLinearGradient g(0, tile.top(), 0, tile.bottom());
    g.setColorAt(0, QColor(66, 150, 230));
    g.setColorAt(1, dark);
    p.setPen(QPen(QColor(10, 40, 90, 90), 2));
    p.setBrush(g);
    p.drawPath(rounded(tile, 44));

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(96, 52, 64, 24), 8, 8); // viewfinder hump
    p.drawRoundedRect(QRectF(40, 66, 176, 122), 22, 22); // body
    p.setBrush(QColor(255, 255, 255, 120));
    p.drawRoundedRect(QRectF(56, 56, 26, 14), 4, 4); // flash
    const QPointF c(128, 127);
    p.setBrush(dark);
    p.drawEllipse(c, 50, 50);
    p.setBrush(Qt::white);
    p.drawEllipse(c, 41, 41);
    QRadialGradient lens(c + QPointF(-10, -10), 40);
    lens.setColorAt(0, QColor(120, 190, 255));
    lens.setColorAt(1, QColor(16, 60, 120));
    p.setBrush(lens);
    p.drawEllipse(c, 35, 35);
    p.setBrush(QColor(8, 30, 64));
    p.drawEllipse(c, 14, 14);
    p.setBrush(QColor(255, 255, 255, 210));
    p.drawEllipse(c + QPointF(-13, -13), 8, 8);

    const QPointF b(194, 194); // medical badge over the tile's corner
    p.setBrush(QColor(16, 128, 108));
    p.drawEllipse(b, 40, 40);
    p.setBrush(Qt::white);
    p.drawEllipse(b, 33, 33);
    p.setBrush(QColor(226, 62, 62));
    p.drawRoundedRect(QRectF(b.x() - 8, b.y() - 22, 16, 44), 3, 3);
    p.drawRoundedRect(QRectF(b.x() - 22, b.y() - 8, 44, 16), 3, 3);
}

QImage programIcon(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.scale(size / 256.0, size / 256.0);
    drawProgramIcon(p);
    return image;
}

bool saveProgramIcons(const QString& resDir, const QString& iconDir)
{
    bool ok = programIcon(256).save(resDir + QStringLiteral("/karvex.png"));
    for (int size : { 256, 128, 64, 48 }) {
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(iconDir).arg(size);
        ok = ok && QDir().mkpath(dir) && programIcon(size).save(dir + QStringLiteral("/karvex.png"));
    }
    const QString scalable = iconDir + QStringLiteral("/hicolor/scalable/apps");
    if (!ok || !QDir().mkpath(scalable))
        return false;
    QSvgGenerator svg;
    svg.setFileName(scalable + QStringLiteral("/karvex.svg"));
    svg.setSize(QSize(256, 256));
    svg.setViewBox(QRect(0, 0, 256, 256));
    svg.setTitle(QStringLiteral("Karvex"));
    QPainter p;
    if (!p.begin(&svg))
        return false;
    drawProgramIcon(p);
    return p.end();
}

QImage video()
{
    QImage image = canvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(214, 56, 52));
    p.drawRoundedRect(QRectF(0.5, 3.5, 10, 9), 2, 2);
    QPainterPath lens;
    lens.moveTo(11, 8);
    lens.lineTo(15.5, 4.5);
    lens.lineTo(15.5, 11.5);
    lens.closeSubpath();
    p.drawPath(lens);
    p.setBrush(Qt::white);
    QPainterPath play;
    play.moveTo(4, 5.5);
    play.lineTo(8, 8);
    play.lineTo(4, 10.5);
    play.closeSubpath();
    p.drawPath(play);
    return image;
}

QImage notFound()
{
    QImage image = canvas(96, 54);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(image.rect(), QColor(236, 239, 241));
    p.setPen(QPen(QColor(176, 190, 197), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 95, 53));

    const QColor grey(144, 164, 174);
    const QRectF frame(33, 12, 30, 24);
    p.setPen(QPen(grey, 2));
    p.drawRoundedRect(frame, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(grey);
    p.drawEllipse(QPointF(55, 19), 3, 3);
    QPainterPath hills;
    hills.moveTo(35, 34);
    hills.lineTo(43, 24);
    hills.lineTo(49, 30);
    hills.lineTo(53, 26);
    hills.lineTo(61, 34);
    hills.closeSubpath();
    p.drawPath(hills);

    // "Missing" mark over the frame's corner.
    const QPointF m(63, 36);
    p.setBrush(QColor(214, 56, 52));
    p.drawEllipse(m, 7.5, 7.5);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(m + QPointF(-3, -3), m + QPointF(3, 3));
    p.drawLine(m + QPointF(3, -3), m + QPointF(-3, 3));
    return image;
}

QImage hospital()
{
    QImage image = canvas(1203, 1202);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(601.5, 601);

    QRadialGradient sky(centre, 600);
    sky.setColorAt(0, QColor(225, 240, 252));
    sky.setColorAt(1, QColor(186, 219, 245));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawEllipse(centre, 590, 590);

    QPainterPath disc;
    disc.addEllipse(centre, 590, 590);
    p.setClipPath(disc);

    p.fillRect(QRectF(0, 930, 1203, 272), QColor(120, 178, 112)); // lawn
    p.fillRect(QRectF(0, 930, 1203, 14), QColor(96, 150, 90));

    const QColor wall(250, 250, 252), shade(222, 228, 236), glass(88, 150, 214), frame(60, 110, 170);
    auto windows = [&](qreal x0, qreal y0, int cols, int rows, qreal w, qreal h, qreal gx, qreal gy) {
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                const QRectF win(x0 + c * (w + gx), y0 + r * (h + gy), w, h);
                p.setBrush(frame);
                p.drawRect(win.adjusted(-5, -5, 5, 5));
                QLinearGradient g(win.topLeft(), win.bottomRight());
                g.setColorAt(0, glass.lighter(130));
                g.setColorAt(1, glass);
                p.setBrush(g);
                p.drawRect(win);
            }
    };

    // Wings.
    p.setBrush(shade);
    p.drawRect(QRectF(150, 560, 320, 380));
    p.drawRect(QRectF(733, 560, 320, 380));
    p.setBrush(wall);
    p.drawRect(QRectF(160, 570, 300, 370));
    p.drawRect(QRectF(743, 570, 300, 370));
    windows(178, 610, 3, 3, 60, 70, 30, 45);
    windows(785, 610, 3, 3, 60, 70, 30, 45);

    // Central tower.
    p.setBrush(shade);
    p.drawRect(QRectF(430, 330, 343, 610));
    p.setBrush(wall);
    p.drawRect(QRectF(440, 340, 323, 600));
    windows(475, 560, 3, 2, 60, 70, 35, 45);

    // Red cross sign on the tower.
    const QPointF sign(601.5, 440);
    p.setBrush(Qt::white);
    p.drawEllipse(sign, 88, 88);
    p.setBrush(QColor(220, 52, 52));
    p.drawRoundedRect(QRectF(sign.x() - 24, sign.y() - 66, 48, 132), 8, 8);
    p.drawRoundedRect(QRectF(sign.x() - 66, sign.y() - 24, 132, 48), 8, 8);

    // Entrance with canopy.
    p.setBrush(QColor(44, 92, 150));
    p.drawRect(QRectF(530, 800, 143, 140));
    p.setBrush(QColor(150, 200, 240));
    p.drawRect(QRectF(545, 815, 53, 125));
    p.drawRect(QRectF(605, 815, 53, 125));
    p.setBrush(QColor(220, 52, 52));
    p.drawRoundedRect(QRectF(500, 770, 203, 30), 6, 6);

    // Roof edges.
    p.setBrush(frame);
    p.drawRect(QRectF(140, 545, 340, 22));
    p.drawRect(QRectF(723, 545, 340, 22));
    p.drawRect(QRectF(420, 315, 363, 24));

    p.setClipping(false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(60, 110, 170), 14));
    p.drawEllipse(centre, 583, 583);
    return image;
}
} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("res");
    const QString iconDir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("packaging/icons");
    const bool ok = camera().save(dir + QStringLiteral("/camera.png"))
        && patient().save(dir + QStringLiteral("/patient.png"))
        && video().save(dir + QStringLiteral("/video.png"))
        && notFound().save(dir + QStringLiteral("/notfound.png"))
        && hospital().save(dir + QStringLiteral("/hospital.png")) && saveProgramIcons(dir, iconDir);
    return ok ? 0 : 1;
}
