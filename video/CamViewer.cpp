#include "CamViewer.h"

#include "CamGrabber.h"
#include "OverlayImages.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPainter>
#include <QThread>
#include <QWheelEvent>
#include <QWindow>

#include <SDL.h>

#include <algorithm>

extern "C" {
#include <libavutil/frame.h>
}

namespace {
constexpr int kDisplayTickMs = 30;
constexpr int kBlinkMs = 1000;
constexpr qint64 kSnapshotLabelMs = 1000;
constexpr qint64 kWhiteBalanceLabelMs = 3000;
constexpr int kMargin = 10;
constexpr int kDotSize = 24;
constexpr double kZoomStep = 0.1;
constexpr double kZoomMax = 4.0;
constexpr double kZoomMin = 0.1;
// Messages wrap at this width, so that a long one stays a readable block in a wide view.
constexpr int kMessageWidth = 720;

const QColor kFreezeColour(255, 0, 0, 255);
const QColor kSnapshotColour(255, 255, 255, 255);
const QColor kWhiteBalanceColour(0, 255, 0, 255);
const QColor kClockColour(255, 255, 255, 255);
const QColor kWatermarkColour(255, 255, 255, 255);

int softwareDriverIndex()
{
    for (int i = 0; i < SDL_GetNumRenderDrivers(); ++i) {
        SDL_RendererInfo info;
        if (SDL_GetRenderDriverInfo(i, &info) == 0 && qstrcmp(info.name, "software") == 0)
            return i;
    }
    return -1;
}
} // namespace

CamViewer::CamViewer(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
{
    // A steady tick keeps the time from a stored packet to its picture short and even.
    m_displayTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_displayTimer, &QTimer::timeout, this, &CamViewer::onTimerDisplay);
    connect(&m_recordingTimer, &QTimer::timeout, this, &CamViewer::onTimerRecording);

    setFocusPolicy(Qt::WheelFocus);
    m_toolkitPaints = !canShowLivePicture();
    if (m_toolkitPaints)
        return;
    // SDL draws into this widget's own native window; the toolkit must never paint over it.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setUpdatesEnabled(false);

    attachSdl();
    setOverlayTexts(QStringLiteral("Freeze"), QStringLiteral("Snapshot"), QStringLiteral("White Balance OK"));
}

CamViewer::~CamViewer()
{
    setGrabber(nullptr);
    setRecording(false);
    QMutexLocker locker(&m_lock);
    m_lastFrame.reset();
    m_freezeTexture.reset();
    m_snapshotTexture.reset();
    m_whiteBalanceTexture.reset();
    m_dotTexture.reset();
    m_watermarkTexture.reset();
    m_messageTexture.reset();
    m_videoTexture.reset();
    m_renderer.reset();
    m_sdlWindow.reset();
    m_sdlVideo.reset();
}

void CamViewer::attachSdl()
{
    // SDL can only draw into an X11 window; on other platforms (the offscreen one of the
    // tests) the native handle is no X window, so the view stays blank instead of crashing.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    m_sdlVideo = std::make_unique<sdl::VideoSubsystem>();
    if (!m_sdlVideo->isUp())
        return;
    // The widget's window takes the GL context as it is; SDL must not try to recreate it.
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    m_sdlWindow.reset(SDL_CreateWindowFrom(reinterpret_cast<const void*>(winId())));
    if (!m_sdlWindow)
        return;
    if (QWindow* window = windowHandle())
        window->installEventFilter(this);
    // Marked resizable, SDL only resizes this window when told its new size; otherwise it
    // also moves it back to where it was when SDL took it over.
    SDL_SetWindowResizable(m_sdlWindow.get(), SDL_TRUE);
    m_renderer.reset(SDL_CreateRenderer(m_sdlWindow.get(), -1, SDL_RENDERER_ACCELERATED));
    // Without a usable GPU driver the picture must still show: SDL's own software renderer,
    // chosen by index so that a render-driver hint cannot rule it out as well.
    if (!m_renderer)
        m_renderer.reset(SDL_CreateRenderer(m_sdlWindow.get(), softwareDriverIndex(), SDL_RENDERER_SOFTWARE));
}

void CamViewer::setGrabber(CamGrabber* grabber)
{
    QMutexLocker locker(&m_lock);
    if (!grabber) {
        m_displayTimer.stop();
        // Forget it too: the grabber may be destroyed before this view.
        m_grabber = nullptr;
        return;
    }
    m_grabber = grabber;
    fitToWidget();
    makeVideoTexture(grabber->width(), grabber->height());
    m_displayTimer.start(kDisplayTickMs);
}

void CamViewer::makeVideoTexture(int width, int height)
{
    m_videoTexture.reset();
    m_textureWidth = width;
    m_textureHeight = height;
    m_textureFilled = false;
    if (m_renderer && width > 0 && height > 0)
        m_videoTexture.reset(SDL_CreateTexture(
            m_renderer.get(), SDL_PIXELFORMAT_YV12, SDL_TEXTUREACCESS_STREAMING, width, height));
}

void CamViewer::fitToWidget()
{
    QMutexLocker locker(&m_lock);
    if (!m_grabber)
        return;
    const int w = m_grabber->width();
    const int h = m_grabber->height();
    m_sourceWidth = w;
    m_sourceHeight = h;
    m_zoom = 1.0;
    if (w <= 0 || h <= 0) {
        // A grabber that is not open: nothing to show.
        m_displayWidth = 0;
        m_displayHeight = 0;
        return;
    }
    const QSize size = pixelSize();
    const int W = size.width();
    const int H = size.height();
    const double a = double(w) / double(h);
    if (double(W) / double(H) >= a) {
        if (h <= H) {
            m_displayWidth = w;
            m_displayHeight = h;
        } else {
            m_displayHeight = H;
            m_displayWidth = int(H * a);
        }
    } else {
        if (w <= W) {
            m_displayWidth = w;
            m_displayHeight = int(w / a);
        } else {
            m_displayWidth = W;
            m_displayHeight = int(W / a);
        }
    }
    m_zoom = double(m_displayWidth) / double(w);
}

void CamViewer::zoomStep(bool zoomIn)
{
    double z = zoomIn ? m_zoom + kZoomStep : m_zoom - kZoomStep;
    if (z > kZoomMax)
        z = kZoomMax;
    else if (z < kZoomMin)
        z = kZoomMin;
    m_zoom = z;
    m_displayWidth = int(m_sourceWidth * z);
    m_displayHeight = int(m_sourceHeight * z);
}

void CamViewer::setFlip(bool reset, bool horizontal)
{
    m_flip = reset ? SDL_FLIP_NONE : (horizontal ? SDL_FLIP_HORIZONTAL : SDL_FLIP_VERTICAL);
}

void CamViewer::setRotation(double degrees)
{
    m_rotation = degrees;
}

void CamViewer::setFreeze(bool frozen)
{
    m_frozen = frozen;
}

void CamViewer::onTimerDisplay()
{
    QMutexLocker locker(&m_lock);
    if (!m_grabber)
        return;
    ffmpeg::FramePtr frame = m_grabber->takeFrame();
    if (!frame)
        return;
    drawFrame(frame.get());
    if (m_presentHook)
        m_presentHook(frame.get());
    // Kept (also while frozen) so that recordings and snapshots get the live picture.
    m_lastFrame = std::move(frame);
}

void CamViewer::drawFrame(AVFrame* frame)
{
    SDL_Renderer* renderer = m_renderer.get();
    if (!renderer)
        return;
    const QSize size = syncSdlSize();
    const int W = size.width();
    const int H = size.height();
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);

    // A texture that holds no picture yet (one just made for a newly attached camera) takes
    // this one even while frozen: there is nothing to hold, and an empty texture shows green.
    if (!m_frozen || !m_textureFilled) {
        if (frame->width != m_textureWidth || frame->height != m_textureHeight) {
            // The camera was opened after it was attached: show it at its real size instead
            // of reading a picture of another size into the texture.
            makeVideoTexture(frame->width, frame->height);
            fitToWidget();
        }
        m_textureFilled
            = SDL_UpdateYUVTexture(m_videoTexture.get(), nullptr, frame->data[0], frame->linesize[0],
                  frame->data[1], frame->linesize[1], frame->data[2], frame->linesize[2])
            == 0;
    }
    // Not swapped for 90 and 270 degrees: the turned picture keeps its centre.
    const SDL_Rect target { (W - m_displayWidth) / 2, (H - m_displayHeight) / 2, m_displayWidth,
        m_displayHeight };
    SDL_RenderCopyEx(
        renderer, m_videoTexture.get(), nullptr, &target, m_rotation, nullptr, SDL_RendererFlip(m_flip));

    if (m_frozen && m_freezeTexture)
        drawAt(m_freezeTexture.get(), -1, kMargin);
    if (m_snapshotClock.isValid()) {
        drawAt(m_snapshotTexture.get(), -1, 30);
        if (m_snapshotClock.elapsed() >= kSnapshotLabelMs)
            m_snapshotClock.invalidate();
    }
    if (m_whiteBalanceClock.isValid()) {
        drawAt(m_whiteBalanceTexture.get(), -1, 50);
        if (m_whiteBalanceClock.elapsed() >= kWhiteBalanceLabelMs)
            m_whiteBalanceClock.invalidate();
    }
    if (m_recordingTimer.isActive() && m_dotTexture) {
        if (m_blink) {
            const SDL_Rect dot { kMargin, kMargin, kDotSize, kDotSize };
            SDL_RenderCopy(renderer, m_dotTexture.get(), nullptr, &dot);
        }
        const sdl::TexturePtr clock = textTexture(clockText(m_recordingClock.elapsed()), kClockColour);
        drawAt(clock.get(), 35, 12);
    }
    if (m_watermarkTexture) {
        int tw = 0;
        int th = 0;
        SDL_QueryTexture(m_watermarkTexture.get(), nullptr, nullptr, &tw, &th);
        drawAt(m_watermarkTexture.get(), W - tw - kMargin, H - th - kMargin);
    }

    if (m_readBack)
        readBack(renderer);
    SDL_RenderPresent(renderer);
}

void CamViewer::readBack(SDL_Renderer* renderer)
{
    int outputWidth = 0;
    int outputHeight = 0;
    SDL_GetRendererOutputSize(renderer, &outputWidth, &outputHeight);
    QImage pixels(outputWidth, outputHeight, QImage::Format_ARGB32);
    if (!pixels.isNull()
        && SDL_RenderReadPixels(
               renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.bits(), pixels.bytesPerLine())
            == 0)
        m_readPixels = pixels.convertToFormat(QImage::Format_RGB32);
}

// Draws a texture at its own size; x = -1 puts it at the right edge with the margin.
void CamViewer::drawAt(SDL_Texture* texture, int x, int y)
{
    if (!texture)
        return;
    SDL_Rect target { x, y, 0, 0 };
    SDL_QueryTexture(texture, nullptr, nullptr, &target.w, &target.h);
    if (x < 0)
        target.x = pixelSize().width() - target.w - kMargin;
    SDL_RenderCopy(m_renderer.get(), texture, nullptr, &target);
}

void CamViewer::setRecording(bool on)
{
    if (QThread::currentThread() != thread()) {
        // The timer belongs to the GUI thread. A switch that arrives after the GUI thread
        // itself switched again (a new recording started meanwhile) is stale and dropped.
        const int seen = m_recordingSwitches;
        QMetaObject::invokeMethod(
            this,
            [this, on, seen] {
                if (m_recordingSwitches == seen)
                    setRecording(on);
            },
            Qt::QueuedConnection);
        return;
    }
    ++m_recordingSwitches;
    if (on) {
        m_blink = true;
        m_recordingClock.restart();
        m_recordingTimer.start(kBlinkMs);
    } else {
        m_recordingTimer.stop();
        m_blink = false;
    }
}

void CamViewer::onTimerRecording()
{
    m_blink = !m_blink;
}

void CamViewer::showSnapshotLabel()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this] { showSnapshotLabel(); }, Qt::QueuedConnection);
        return;
    }
    m_snapshotClock.restart();
}

void CamViewer::showWhiteBalanceLabel()
{
    m_whiteBalanceClock.restart();
}

bool CamViewer::canShowLivePicture()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("offscreen");
}

void CamViewer::paintEvent(QPaintEvent*)
{
    if (!m_toolkitPaints)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_message.isEmpty()) {
        const QImage text = OverlayImages::message(m_message, std::min(kMessageWidth, width()));
        painter.drawImage(QPoint((width() - text.width()) / 2, (height() - text.height()) / 2), text);
    }
}

void CamViewer::setMessage(const QString& text)
{
    if (m_toolkitPaints) {
        m_message = text;
        update();
        return;
    }
    if (text != m_message) {
        m_message = text;
        sdl::TexturePtr made
            = text.isEmpty() ? nullptr : argbTexture(OverlayImages::message(text, kMessageWidth));
        QMutexLocker locker(&m_lock);
        m_messageTexture = std::move(made);
    }
    clearWithoutPicture();
}

void CamViewer::setOverlayTexts(
    const QString& freezeText, const QString& snapshotText, const QString& whiteBalanceText)
{
    if (!m_dotTexture) {
        sdl::TexturePtr dot = argbTexture(OverlayImages::recordingDot());
        QMutexLocker locker(&m_lock);
        m_dotTexture = std::move(dot);
    }
    const auto update
        = [this](const QString& text, QString& stored, sdl::TexturePtr& texture, const QColor& colour) {
              if (text == stored)
                  return;
              stored = text;
              sdl::TexturePtr made = textTexture(text, colour);
              if (made) {
                  QMutexLocker locker(&m_lock);
                  texture = std::move(made);
              }
          };
    update(freezeText, m_freezeText, m_freezeTexture, kFreezeColour);
    update(snapshotText, m_snapshotText, m_snapshotTexture, kSnapshotColour);
    update(whiteBalanceText, m_whiteBalanceText, m_whiteBalanceTexture, kWhiteBalanceColour);
}

void CamViewer::setWatermark(bool isText, const QString& text, const QString& picturePath)
{
    QMutexLocker locker(&m_lock);
    m_watermarkTexture.reset();
    if (isText) {
        const QString trimmed = text.trimmed();
        if (!trimmed.isEmpty())
            m_watermarkTexture = textTexture(trimmed, kWatermarkColour);
    } else if (QFileInfo::exists(picturePath)) {
        m_watermarkTexture = imageTexture(picturePath);
    }
}

sdl::TexturePtr CamViewer::textTexture(const QString& text, const QColor& colour)
{
    return argbTexture(OverlayImages::text(text, colour));
}

sdl::TexturePtr CamViewer::imageTexture(const QString& path)
{
    return argbTexture(OverlayImages::picture(path));
}

sdl::TexturePtr CamViewer::argbTexture(const QImage& image)
{
    if (!m_renderer || image.isNull() || image.format() != QImage::Format_ARGB32)
        return nullptr;
    const sdl::SurfacePtr surface(
        SDL_CreateRGBSurfaceFrom(const_cast<uchar*>(image.constBits()), image.width(), image.height(), 32,
            int(image.bytesPerLine()), 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000));
    if (!surface)
        return nullptr;
    return sdl::TexturePtr(SDL_CreateTextureFromSurface(m_renderer.get(), surface.get()));
}

int CamViewer::sourceWidth()
{
    QMutexLocker locker(&m_lock);
    return m_grabber ? m_grabber->width() : 0;
}

int CamViewer::sourceHeight()
{
    QMutexLocker locker(&m_lock);
    return m_grabber ? m_grabber->height() : 0;
}

ffmpeg::FramePtr CamViewer::takeLastFrame()
{
    QMutexLocker locker(&m_lock);
    return std::move(m_lastFrame);
}

// The widget's size in device pixels, the unit SDL draws in (the same as its logical size
// unless the desktop scales the program up).
QSize CamViewer::pixelSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(qRound(width() * ratio), qRound(height() * ratio));
}

bool CamViewer::isFrozen() const
{
    return m_frozen;
}
bool CamViewer::isRecordingIndicatorOn() const
{
    return m_recordingTimer.isActive();
}

QString CamViewer::clockText(qint64 elapsedMs)
{
    const qint64 hours = elapsedMs / 3600000;
    const qint64 secondsInHour = (elapsedMs / 1000) % 3600;
    return QString::asprintf("%02lld:%02lld:%02lld", hours, secondsInHour / 60, secondsInHour % 60);
}

void CamViewer::setPresentHook(std::function<void(const AVFrame*)> hook)
{
    m_presentHook = std::move(hook);
}

void CamViewer::setReadBack(bool on)
{
    QMutexLocker locker(&m_lock);
    m_readBack = on;
}

QImage CamViewer::readPixels() const
{
    return m_readPixels;
}

QString CamViewer::rendererName() const
{
    SDL_RendererInfo info;
    if (!m_renderer || SDL_GetRendererInfo(m_renderer.get(), &info) != 0)
        return QString();
    return QString::fromLatin1(info.name);
}

void CamViewer::mouseDoubleClickEvent(QMouseEvent* event)
{
    emit dblClicked();
    event->ignore();
}

void CamViewer::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    zoomStep((delta.y() != 0 ? delta.y() : delta.x()) > 0);
    event->accept();
}

void CamViewer::keyPressEvent(QKeyEvent* event)
{
    emit keyPressed(event->key());
    event->ignore();
}

void CamViewer::resizeEvent(QResizeEvent* event)
{
    event->accept();
    fitToWidget();
    clearWithoutPicture();
}

bool CamViewer::eventFilter(QObject* watched, QEvent* event)
{
    // The toolkit does not repaint this widget, so an uncovered part of its native window
    // would keep stale pixels; redraw black there when no live picture will.
    if (event->type() == QEvent::Expose && watched == windowHandle())
        clearWithoutPicture();
    return QWidget::eventFilter(watched, event);
}

QSize CamViewer::syncSdlSize()
{
    const QSize size = pixelSize();
    // SDL hears nothing of the toolkit's resizes of a window it did not create: tell it, or
    // it keeps drawing for the old size.
    int sdlWidth = 0;
    int sdlHeight = 0;
    SDL_GetWindowSize(m_sdlWindow.get(), &sdlWidth, &sdlHeight);
    if (sdlWidth != size.width() || sdlHeight != size.height()) {
        SDL_SetWindowSize(m_sdlWindow.get(), size.width(), size.height());
        SDL_FlushEvent(SDL_WINDOWEVENT);
    }
    return size;
}

void CamViewer::clearWithoutPicture()
{
    // The toolkit never paints this widget; without a camera nothing else would cover
    // whatever the screen held there before, so show black instead, with the message why.
    QMutexLocker locker(&m_lock);
    if (!m_renderer || m_displayTimer.isActive())
        return;
    const QSize size = syncSdlSize();
    SDL_Renderer* renderer = m_renderer.get();
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    if (m_messageTexture) {
        int width = 0;
        int height = 0;
        SDL_QueryTexture(m_messageTexture.get(), nullptr, nullptr, &width, &height);
        // A view narrower than the text shrinks it rather than cutting it off.
        const double scale = std::min({ 1.0, double(size.width() - 2 * kMargin) / width,
            double(size.height() - 2 * kMargin) / height });
        if (scale > 0) {
            const int w = int(width * scale);
            const int h = int(height * scale);
            const SDL_Rect target { (size.width() - w) / 2, (size.height() - h) / 2, w, h };
            SDL_RenderCopy(renderer, m_messageTexture.get(), nullptr, &target);
        }
    }
    if (m_readBack)
        readBack(renderer);
    SDL_RenderPresent(renderer);
}
