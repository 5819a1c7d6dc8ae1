// Records a test picture into argv[1] until it is killed, printing "frames N" after every
// frame that went through the encoder: the parent kills it mid-recording.
#include "CamGrabber.h"
#include "CamRecorder.h"
#include "CamViewer.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    CamGrabber grabber;
    CamViewer viewer;
    CamRecorder recorder(20);
    int frames = 0;
    recorder.setFrameObserver([&frames](qint64) {
        std::printf("frames %d\n", ++frames);
        std::fflush(stdout);
    });
    if (!grabber.openInput("lavfi", "testsrc2=size=320x240:rate=30,realtime"))
        return 3;
    viewer.setGrabber(&grabber);
    if (!recorder.start(&viewer, QString::fromLocal8Bit(argv[1])))
        return 4;
    return app.exec();
}
