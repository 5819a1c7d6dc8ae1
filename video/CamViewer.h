#pragma once

#include "FfmpegPtr.h"
#include "SdlPtr.h"

#include <QElapsedTimer>
#include <QImage>
#include <QRecursiveMutex>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

struct AVFrame;
class CamGrabber;

// The live picture: frames pulled from a CamGrabber every 30 ms and drawn with SDL2 into
// this widget's native window, zoomed, rotated and mirrored, with labels, the recording
// indicator and a watermark on top. The frame drawn last can be taken by the recorder.
class CamViewer : public QWidget
{
    Q_OBJECT
public:
    explicit CamViewer(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~CamViewer() override;

    void setGrabber(CamGrabber* grabber);
    void zoomStep(bool zoomIn);
    void setFlip(bool reset, bool horizontal);
    void setRotation(double degrees);
    void setFreeze(bool frozen);
    void setOverlayTexts(
        const QString& freezeText, const QString& snapshotText, const QString& whiteBalanceText);
    void setWatermark(bool isText, const QString& text, const QString& picturePath);
    // May be called from any thread: off the GUI thread it is carried out there.
    void setRecording(bool on);
    // May be called from any thread: off the GUI thread it is carried out there.
    void showSnapshotLabel();
    void showWhiteBalanceLabel();
    // A short text shown in place of the picture while no camera is attached (why there is
    // no picture); empty for none.
    void setMessage(const QString& text);
    QString message() const { return m_message; }
    // Whether the live picture can be drawn on this display: SDL needs an X11 window, so not
    // on a Wayland display without XWayland (offscreen, for tests, counts as drawable).
    static bool canShowLivePicture();

    int sourceWidth();
    int sourceHeight();
    // The frame drawn last, handed over; null when already taken.
    ffmpeg::FramePtr takeLastFrame();

    // Read-only state for tests and the window.
    bool isFrozen() const;
    bool isRecordingIndicatorOn() const;
    // "%02d:%02d:%02d" of elapsed milliseconds (hours not limited to two digits).
    static QString clockText(qint64 elapsedMs);

    // For tests and the bench only. The hook runs on the GUI thread right after each
    // presented picture, with the frame it shows. With read-back on, every presented picture
    // is also copied from the renderer (a full read per tick) and readPixels returns the last
    // one (null when nothing was presented, e.g. without a display SDL can draw on).
    void setPresentHook(std::function<void(const AVFrame* frame)> hook);
    void setReadBack(bool on);
    QImage readPixels() const;
    // The SDL renderer drawing this view ("opengl", "software", ...), empty without one.
    QString rendererName() const;

signals:
    void keyPressed(int key);
    void dblClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // SDL paints the view where it can; elsewhere the toolkit paints its message.
    QPaintEngine* paintEngine() const override { return m_toolkitPaints ? QWidget::paintEngine() : nullptr; }
    void paintEvent(QPaintEvent* event) override;

private slots:
    void onTimerDisplay();
    void onTimerRecording();

private:
    void attachSdl();
    void fitToWidget();
    QSize pixelSize() const;
    void makeVideoTexture(int width, int height);
    void drawFrame(AVFrame* frame);
    QSize syncSdlSize();
    void clearWithoutPicture();
    void readBack(SDL_Renderer* renderer);
    void drawAt(SDL_Texture* texture, int x, int y);
    sdl::TexturePtr textTexture(const QString& text, const QColor& colour);
    sdl::TexturePtr imageTexture(const QString& path);
    sdl::TexturePtr argbTexture(const QImage& image);

    // Guards the grabber pointer, the last frame and the SDL renderer with its textures
    // (recursive: drawing re-enters through fitToWidget). Lock order: the recorder's lock,
    // then this one, then the grabber's.
    QRecursiveMutex m_lock;
    QTimer m_displayTimer;
    ffmpeg::FramePtr m_lastFrame;
    CamGrabber* m_grabber = nullptr;
    bool m_frozen = false;
    double m_rotation = 0.0;
    double m_zoom = 1.0;
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    int m_displayWidth = 0;
    int m_displayHeight = 0;
    QString m_freezeText;
    QString m_snapshotText;
    QElapsedTimer m_snapshotClock;
    QString m_whiteBalanceText;
    QElapsedTimer m_whiteBalanceClock;
    QTimer m_recordingTimer;
    QElapsedTimer m_recordingClock;
    bool m_blink = false;
    std::atomic<int> m_recordingSwitches { 0 };
    int m_flip = 0;
    std::unique_ptr<sdl::VideoSubsystem> m_sdlVideo;
    sdl::WindowPtr m_sdlWindow;
    sdl::RendererPtr m_renderer;
    sdl::TexturePtr m_videoTexture;
    int m_textureWidth = 0;
    int m_textureHeight = 0;
    bool m_textureFilled = false;
    sdl::TexturePtr m_freezeTexture;
    sdl::TexturePtr m_snapshotTexture;
    sdl::TexturePtr m_whiteBalanceTexture;
    sdl::TexturePtr m_dotTexture;
    sdl::TexturePtr m_watermarkTexture;
    QString m_message;
    // No SDL on this display: the toolkit paints the view (black, with the message).
    bool m_toolkitPaints = false;
    sdl::TexturePtr m_messageTexture;

    std::function<void(const AVFrame*)> m_presentHook;
    bool m_readBack = false;
    QImage m_readPixels;
};
