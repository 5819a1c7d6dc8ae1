#include "PageRecorder.h"

#include <QPainterPath>
#include <QTextItem>

#include <algorithm>

namespace {
constexpr int Dpi = 600;
}

class PageRecorder::Engine : public QPaintEngine
{
public:
    explicit Engine(PageRecorder* device)
        : QPaintEngine(QPaintEngine::AllFeatures)
        , m_device(device)
    { }

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & QPaintEngine::DirtyBrush)
            m_brush = state.brush();
        if (state.state() & QPaintEngine::DirtyTransform)
            m_transform = state.transform();
        if (state.state()
            & (QPaintEngine::DirtyClipEnabled | QPaintEngine::DirtyClipRegion
                | QPaintEngine::DirtyClipPath)) {
            m_clip = painter()->hasClipping() ? painter()->transform().mapRect(painter()->clipBoundingRect())
                                              : QRectF();
        }
    }

    void drawRects(const QRectF* rects, int count) override
    {
        for (int i = 0; i < count; ++i)
            m_device->fills.append({ m_transform.mapRect(rects[i]), m_brush.color() });
    }
    void drawRects(const QRect* rects, int count) override
    {
        for (int i = 0; i < count; ++i)
            m_device->fills.append({ m_transform.mapRect(QRectF(rects[i])), m_brush.color() });
    }
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        m_device->texts.append({ item.text(), m_transform.map(p), item.width(), m_clip });
    }
    void drawImage(const QRectF& r, const QImage& image, const QRectF&, Qt::ImageConversionFlags) override
    {
        m_device->images.append({ m_transform.mapRect(r), image });
    }
    void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF&) override
    {
        m_device->images.append({ m_transform.mapRect(r), pixmap.toImage() });
    }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override { }
    void drawPath(const QPainterPath& path) override
    {
        m_device->fills.append({ m_transform.mapRect(path.boundingRect()), m_brush.color() });
    }

private:
    PageRecorder* m_device;
    QBrush m_brush;
    QTransform m_transform;
    QRectF m_clip;
};

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
// The default constructor gives the device a page layout of its own, which is all a
// recording device needs.
PageRecorder::PageRecorder(const QMarginsF& initialMarginsMm)
    : m_engine(std::make_unique<Engine>(this))
{
    setPageLayout(QPageLayout(
        QPageSize(QPageSize::A4), QPageLayout::Portrait, initialMarginsMm, QPageLayout::Millimeter));
}
QT_WARNING_POP

PageRecorder::~PageRecorder() = default;

bool PageRecorder::newPage()
{
    ++pages;
    return true;
}

QPaintEngine* PageRecorder::paintEngine() const
{
    return m_engine.get();
}

int PageRecorder::metric(PaintDeviceMetric metric) const
{
    const QPageLayout layout = pageLayout();
    switch (metric) {
    case PdmWidth:
        return layout.paintRectPixels(Dpi).width();
    case PdmHeight:
        return layout.paintRectPixels(Dpi).height();
    case PdmWidthMM:
        return qRound(layout.paintRect(QPageLayout::Millimeter).width());
    case PdmHeightMM:
        return qRound(layout.paintRect(QPageLayout::Millimeter).height());
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return Dpi;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    }
    return 0;
}

QList<PageRecorder::Text> PageRecorder::lines() const
{
    QList<Text> result;
    for (const Text& run : texts) {
        auto same = std::find_if(result.begin(), result.end(), [&](const Text& line) {
            return qAbs(line.baseline.y() - run.baseline.y()) < 0.5
                && qAbs(line.baseline.x() + line.width - run.baseline.x()) < 0.5;
        });
        if (same != result.end()) {
            same->text += run.text;
            same->width += run.width;
        } else {
            result.append(run);
        }
    }
    return result;
}
