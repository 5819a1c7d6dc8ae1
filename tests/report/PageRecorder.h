#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPaintEngine>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <memory>

// A paged paint device that draws nothing and remembers what was drawn where: text runs
// (baseline position, advance width, clip in force), filled rectangles with their colour,
// and images with their target rectangle. Its metrics are those of its page layout at
// 600 dpi, like a PDF writer or a printer set to 600 dpi.
class PageRecorder : public QPagedPaintDevice
{
public:
    struct Text {
        QString text;
        QPointF baseline;
        qreal width;
        QRectF clip; // null when no clip was in force
    };
    struct Fill {
        QRectF rect;
        QColor color;
    };
    struct Image {
        QRectF rect;
        QImage image;
    };

    // Starts as A4 portrait with the given margins (mm), as a printer's default would.
    explicit PageRecorder(const QMarginsF& initialMarginsMm = {});
    ~PageRecorder() override;

    bool newPage() override;
    QPaintEngine* paintEngine() const override;

    QList<Text> texts;
    QList<Fill> fills;
    QList<Image> images;
    int pages = 1;

    // The text runs that make up one drawn line, joined (runs on the same baseline).
    QList<Text> lines() const;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    std::unique_ptr<Engine> m_engine;
};
