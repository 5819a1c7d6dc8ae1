// One examination in a process of its own, for the test that kills the program in the middle
// of a recording. In the folder given as argument it files a patient, opens the camera from
// the patient's dialog, takes a picture with camera key 1 and starts a recording with key 2,
// then keeps recording until it is killed. It reports its progress on standard output:
// "filed N" whenever the records list holds N records, and "recording" once the recording runs.

#include "CamViewer.h"
#include "Database.h"
#include "DlgPatinfo.h"
#include "E2eSupport.h"
#include "FrmCamera.h"
#include "Resources.h"

#include <QAction>
#include <QDir>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <cstdio>

namespace {
void say(const QByteArray& line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

int fail(const char* why)
{
    say(QByteArray("failed ") + why);
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    karvexInitResources();
    if (argc < 2 || !QDir::setCurrent(QString::fromLocal8Bit(argv[1])))
        return fail("no working folder");
    E2e::plugCamera("testsrc2=size=640x480:rate=30,realtime");

    Database* db = Database::instance();
    if (!db)
        return fail("no database");
    bool inserted = false;
    db->exec(QStringLiteral("INSERT INTO user (fnam,lnam,sex,bday) VALUES ('Karl','Berg',0,'1950/02/03')"),
        {}, &app, [&](bool ok, DbResponser*) { inserted = ok; });
    if (!QTest::qWaitFor([&] { return inserted; }, 10000))
        return fail("patient not filed");

    DlgPatinfo dialog(nullptr);
    auto* records = dialog.findChild<QTableWidget*>(QStringLiteral("list"));
    QObject::connect(&dialog, &DlgPatinfo::recordsLoaded,
        [records] { say("filed " + QByteArray::number(records->rowCount())); });
    dialog.setRowID(1);
    dialog.show();
    dialog.findChild<QPushButton*>(QStringLiteral("bnNew"))->click();
    FrmCamera* camera = E2e::visibleWindow<FrmCamera>();
    if (!camera)
        return fail("no camera window");
    int frames = 0;
    camera->findChild<CamViewer*>()->setPresentHook([&frames](const AVFrame*) { ++frames; });
    if (!QTest::qWaitFor([&] { return frames >= 3; }, 20000))
        return fail("no picture");

    E2e::pressCameraKey(1);
    if (!QTest::qWaitFor([&] { return records->rowCount() == 1; }, 10000))
        return fail("picture not filed");
    E2e::pressCameraKey(2);
    QAction* record = camera->findChild<QAction*>(QStringLiteral("moRecd"));
    if (!QTest::qWaitFor([&] { return record->isChecked(); }, 10000))
        return fail("recording did not start");
    say("recording");
    return app.exec();
}
