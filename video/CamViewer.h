#pragma once

#include <QElapsedTimer>
#include <QRecursiveMutex>
#include <QString>
#include <QTimer>
#include <QWidget>

struct AVFrame;
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;
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
    void setOverlayTexts(const QString& freezeText, const QString& snapshotText,
                         const QString& whiteBalanceText);
    void setWatermark(bool isText, const QString& text, const QString& picturePath);
    void setRecording(bool on);
    void showSnapshotLabel();
    void showWhiteBalanceLabel();

    int sourceWidth();
    int sourceHeight();
    // The frame drawn last; the caller owns it (av_frame_free). Null when already taken.
    AVFrame* takeLastFrame();

    // Read-only state for tests and the window.
    double zoom() const;
    int displayWidth() const;
    int displayHeight() const;
    double rotation() const;
    int flip() const;
    bool isFrozen() const;
    bool isRecordingIndicatorOn() const;
    // "%02d:%02d:%02d" of elapsed milliseconds (hours not limited to two digits).
    static QString clockText(qint64 elapsedMs);

signals:
    void keyPressed(int key);
    void dblClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    QPaintEngine* paintEngine() const override { return nullptr; }

private slots:
    void onTimerDisplay();
    void onTimerRecording();

private:
    // Members are the implementer's (see the .cpp); keep the order lock, timers, frame, ...
};
