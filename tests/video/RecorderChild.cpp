// Records a test picture into argv[1] until it is killed, printing "frames N" after every
// frame that went through the encoder.
#include "CamGrabber.h"
#include "CamRecorder.h"
#include "CamViewer.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    CamGrabber grabber;
    CamViewer viewer;
    CamRecorder recorder(20);
    int frames = 0;
    recorder.setFrameObserver(
        [&frames](qint64) { std::printf("frames %d\n", ++frames), std::fflush(stdout); });
    if (argc < 2 || !grabber.openInput("lavfi", "testsrc2=size=320x240:rate=30,realtime"))
        return 2;
    viewer.setGrabber(&grabber);
    return recorder.start(&viewer, QString::fromLocal8Bit(argv[1])) ? app.exec() : 3;
}
