// An examination in a process of its own, for the test that kills it while it records.
// In the folder given as argument it files a patient, opens the camera from the patient's
// dialog, takes a picture with camera key 1 (and waits until it is filed) and starts
// recording with key 2. It prints "recording" once the recording runs and then records until
// killed; it ends with a warning when it cannot get that far.

#include "E2eSupport.h"

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    karvexInitResources();
    const auto fail = [](const char* why) { return qWarning("exam child: %s", why), 1; };
    if (argc < 2 || !QDir::setCurrent(QString::fromLocal8Bit(argv[1]))
        || !E2e::sql("INSERT INTO user (fnam,lnam,bday) VALUES ('Karl','Berg','1950/02/03')").isActive())
        return fail("no working folder or database");
    E2e::plugCamera("testsrc2=size=640x480:rate=30,realtime");

    DlgPatinfo dialog(nullptr);
    auto* records = E2e::child<QTableWidget>(&dialog, "list");
    dialog.setRowID(1);
    dialog.show();
    E2e::child<QPushButton>(&dialog, "bnNew")->click();
    FrmCamera* camera = E2e::visibleWindow<FrmCamera>();
    if (!camera)
        return fail("no camera window");
    E2e::watchPictures(camera);
    if (!E2e::waitForPictures(3))
        return fail("no picture");
    E2e::pressCameraKey(1);
    if (!QTest::qWaitFor([&] { return records->rowCount() == 1; }, 10000))
        return fail("picture not filed");
    E2e::pressCameraKey(2);
    if (!QTest::qWaitFor([&] { return E2e::child<QAction>(camera, "moRecd")->isChecked(); }, 10000))
        return fail("recording did not start");
    std::printf("recording\n");
    std::fflush(stdout);
    return app.exec();
}
