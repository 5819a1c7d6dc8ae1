#include "TestSupport.h"

#include "DlgVidCtrl.h"
#include "ScriptedV4l2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

namespace {
const quint32 kBright = V4L2_CID_BRIGHTNESS, kAutoWb = V4L2_CID_AUTO_WHITE_BALANCE,
              kPower = V4L2_CID_POWER_LINE_FREQUENCY, kWbTemp = V4L2_CID_WHITE_BALANCE_TEMPERATURE,
              kExpAuto = V4L2_CID_EXPOSURE_AUTO, kExposure = V4L2_CID_EXPOSURE_ABSOLUTE,
              kPanReset = V4L2_CID_PAN_RESET, kRotation = V4L2_CID_CAMERA_SENSOR_ROTATION;
using Writes = QList<QPair<quint32, qint32>>;

// A UVC examination camera as its driver describes it.
std::shared_ptr<V4l2Script> camera()
{
    auto s = std::make_shared<V4l2Script>();
    s->add(V4L2_CID_USER_CLASS, V4L2_CTRL_TYPE_CTRL_CLASS, "User Controls", 0, 0, 0, 0);
    s->add(kBright, V4L2_CTRL_TYPE_INTEGER, "Brightness", -64, 64, 0, 10);
    s->add(kAutoWb, V4L2_CTRL_TYPE_BOOLEAN, "White Balance, Automatic", 0, 1, 1, 1);
    s->add(kPower, V4L2_CTRL_TYPE_MENU, "Power Line Frequency", 0, 2, 1, 2, 0,
        { { 0, "Off" }, { 1, "50 Hz" }, { 2, "60 Hz" } });
    s->add(V4L2_CID_SHARPNESS, V4L2_CTRL_TYPE_INTEGER, "Sharpness", 0, 7, 3, 3, V4L2_CTRL_FLAG_DISABLED);
    s->add(kWbTemp, V4L2_CTRL_TYPE_INTEGER, "WB Temperature", 2800, 6500, 4600, 4000, V4L2_CTRL_FLAG_INACTIVE,
        {}, 10);
    s->add(V4L2_CID_CAMERA_CLASS, V4L2_CTRL_TYPE_CTRL_CLASS, "Camera Controls", 0, 0, 0, 0);
    // Index 2 of this menu does not exist.
    s->add(kExpAuto, V4L2_CTRL_TYPE_MENU, "Auto Exposure", 0, 3, 3, 1, 0,
        { { 1, "Manual" }, { 3, "Aperture" } });
    s->add(kExposure, V4L2_CTRL_TYPE_INTEGER, "Exposure", 3, 2047, 250, 300);
    s->add(kPanReset, V4L2_CTRL_TYPE_BUTTON, "Pan, Reset", 0, 0, 0, 0);
    s->add(kRotation, V4L2_CTRL_TYPE_INTEGER, "Rotation", 0, 270, 0, 90, V4L2_CTRL_FLAG_READ_ONLY, {}, 90);
    // A kind the dialog cannot edit; its class gets no group either.
    s->add(V4L2_CID_PIXEL_RATE, V4L2_CTRL_TYPE_INTEGER64, "Pixel Rate", 0, 0, 0, 0);
    // The driver greys the manual temperature while the automatic white balance runs.
    s->afterWrite = [](V4l2Script& script, quint32 id, qint32 value) {
        if (id == kAutoWb) {
            script.find(kWbTemp)->query.flags = value ? V4L2_CTRL_FLAG_INACTIVE : 0;
            script.find(kWbTemp)->value = value ? 5100 : 4000;
        }
    };
    return s;
}

std::unique_ptr<DlgVidCtrl> dialogFor(const std::shared_ptr<V4l2Script>& script)
{
    auto device = std::make_unique<ScriptedV4l2>(script);
    const QList<V4l2Control> controls = device->list();
    return std::make_unique<DlgVidCtrl>(nullptr, std::move(device), controls, QString());
}

// The editor in the row of the control's name (label, or the push button itself).
template <typename T = QWidget> T* editor(QWidget* dialog, const QString& name)
{
    const QList<QWidget*> widgets = dialog->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        auto* label = qobject_cast<QLabel*>(w);
        auto* button = qobject_cast<QPushButton*>(w);
        if ((label && label->text() == name) || (button && button->text() == name)) {
            auto* grid = qobject_cast<QGridLayout*>(w->parentWidget()->layout());
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(grid->indexOf(w), &row, &column, &rowSpan, &columnSpan);
            QWidget* cell = grid->itemAtPosition(row, 1)->widget();
            return qobject_cast<T*>(cell) ? qobject_cast<T*>(cell) : cell->findChild<T*>();
        }
    }
    return nullptr;
}
} // namespace

class TestVidCtrl : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { V4l2Controls::setFactory(nullptr); }

    void openForDoesNothingWithoutDeviceOrControls()
    {
        QWidget window;
        QStringList opened;
        std::shared_ptr<V4l2Script> script;
        V4l2Controls::setFactory([&](const QString& path) -> std::unique_ptr<V4l2Controls> {
            opened << path;
            return script ? std::make_unique<ScriptedV4l2>(script) : nullptr;
        });
        QVERIFY(!DlgVidCtrl::openFor(&window, QString(), "Camera"));
        QVERIFY(opened.isEmpty());
        QVERIFY(!DlgVidCtrl::openFor(&window, "/dev/video7", "Camera")); // unplugged
        QCOMPARE(opened, QStringList { "/dev/video7" });
        script = std::make_shared<V4l2Script>();
        script->add(kBright, V4L2_CTRL_TYPE_INTEGER, "Brightness", 0, 9, 0, 0, V4L2_CTRL_FLAG_DISABLED);
        script->add(V4L2_CID_PIXEL_RATE, V4L2_CTRL_TYPE_INTEGER64, "Pixel Rate", 0, 0, 0, 0);
        QVERIFY(!DlgVidCtrl::openFor(&window, "/dev/video7", "Camera"));

        // The real device layer on nodes that are no cameras.
        V4l2Controls::setFactory(nullptr);
        QVERIFY(!DlgVidCtrl::openFor(&window, "/nonexistent/video9", "Camera"));
        QVERIFY(!DlgVidCtrl::openFor(&window, TestSupport::writeFile("not-a-camera", "x"), "Camera"));
        QVERIFY(!DlgVidCtrl::openFor(&window, "/dev/null", "Camera"));
    }

    void openForShowsTheControlsModallyOverTheWindow()
    {
        QWidget window;
        auto script = camera();
        V4l2Controls::setFactory([&](const QString&) { return std::make_unique<ScriptedV4l2>(script); });
        QString title;
        QWidget* parent = nullptr;
        QTimer::singleShot(0, this, [&] {
            QWidget* shown = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<DlgVidCtrl*>(shown)) {
                title = dialog->windowTitle();
                parent = dialog->parentWidget();
                editor<QSpinBox>(dialog, "Brightness")->setValue(-20);
                dialog->findChild<QPushButton*>("bnClose")->click();
            } else if (shown) {
                shown->close();
            }
        });
        QVERIFY(DlgVidCtrl::openFor(&window, "/dev/video2", "ZEN-LUX Camera"));
        QCOMPARE(title, QString("ZEN-LUX Camera"));
        QCOMPARE(parent, &window);
        QCOMPARE(script->writes, (Writes { { kBright, -20 } }));
    }

    void oneGroupPerClassWithAnEditorPerKind()
    {
        auto script = camera();
        auto dialog = dialogFor(script);
        const QList<QGroupBox*> groups = dialog->findChildren<QGroupBox*>();
        QCOMPARE(groups.size(), 2);
        QCOMPARE(groups[0]->title(), QString("User Controls"));
        QCOMPARE(groups[1]->title(), QString("Camera Controls"));
        QCOMPARE(groups[0]->findChildren<QLabel*>().size(), 4); // the disabled one is left out
        QCOMPARE(editor<QSlider>(dialog.get(), "Brightness")->value(), 10);
        QCOMPARE(editor<QSpinBox>(dialog.get(), "Brightness")->minimum(), -64);
        QCOMPARE(editor<QSpinBox>(dialog.get(), "WB Temperature")->singleStep(), 10);
        QVERIFY(editor<QCheckBox>(dialog.get(), "White Balance, Automatic")->isChecked());
        QCOMPARE(editor<QComboBox>(dialog.get(), "Power Line Frequency")->currentText(), QString("60 Hz"));
        QCOMPARE(editor<QComboBox>(dialog.get(), "Auto Exposure")->count(), 2);
        QVERIFY(editor<QPushButton>(dialog.get(), "Pan, Reset"));
        // Read-only and inactive controls are shown greyed.
        QVERIFY(!editor(dialog.get(), "Rotation")->isEnabled());
        QVERIFY(!editor(dialog.get(), "WB Temperature")->isEnabled());
        QVERIFY(editor(dialog.get(), "Exposure")->isEnabled());
        QVERIFY(script->writes.isEmpty());
    }

    void operatorEditsAreWrittenAsTheyHappen()
    {
        auto script = camera();
        auto dialog = dialogFor(script);
        editor<QSpinBox>(dialog.get(), "Brightness")->setValue(20);
        editor<QSlider>(dialog.get(), "Brightness")->setValue(-5);
        QCOMPARE(editor<QSpinBox>(dialog.get(), "Brightness")->value(), -5);
        editor<QComboBox>(dialog.get(), "Power Line Frequency")->setCurrentIndex(1);
        editor<QComboBox>(dialog.get(), "Auto Exposure")->setCurrentIndex(1); // menu index 3
        editor<QPushButton>(dialog.get(), "Pan, Reset")->click();
        QCOMPARE(script->writes,
            (Writes { { kBright, 20 }, { kBright, -5 }, { kPower, 1 }, { kExpAuto, 3 }, { kPanReset, 0 } }));

        // Automatic white balance off hands the temperature to the operator; on greys it again
        // with the value the camera chose.
        auto* temp = editor<QSpinBox>(dialog.get(), "WB Temperature");
        editor<QCheckBox>(dialog.get(), "White Balance, Automatic")->click();
        QVERIFY(temp->isEnabled());
        temp->setValue(3200);
        QCOMPARE(script->writes.mid(5), (Writes { { kAutoWb, 0 }, { kWbTemp, 3200 } }));
        editor<QCheckBox>(dialog.get(), "White Balance, Automatic")->click();
        QVERIFY(!temp->isEnabled());
        QCOMPARE(temp->value(), 5100);
    }

    void defaultsResetsEveryWritableControl()
    {
        auto script = camera();
        auto dialog = dialogFor(script);
        dialog->findChild<QPushButton*>("bnDeft")->click();
        // Neither the button (it only acts) nor the read-only rotation.
        QCOMPARE(script->writes,
            (Writes { { kBright, 0 }, { kAutoWb, 1 }, { kPower, 1 }, { kWbTemp, 4600 }, { kExpAuto, 3 },
                { kExposure, 250 } }));
        QCOMPARE(editor<QSpinBox>(dialog.get(), "Brightness")->value(), 0);
        QCOMPARE(editor<QComboBox>(dialog.get(), "Auto Exposure")->currentText(), QString("Aperture"));
    }

    void neverShowsAValueTheCameraDoesNotHave()
    {
        auto script = camera();
        auto dialog = dialogFor(script);
        script->failingWrites << kBright;
        editor<QSpinBox>(dialog.get(), "Brightness")->setValue(33);
        QCOMPARE(script->writes, (Writes { { kBright, 33 } }));
        QCOMPARE(editor<QSpinBox>(dialog.get(), "Brightness")->value(), 10);
        QCOMPARE(editor<QSlider>(dialog.get(), "Brightness")->value(), 10);

        // Unplugged while open: every control greys.
        script->unplugged = true;
        editor<QSpinBox>(dialog.get(), "Exposure")->setValue(400);
        for (const char* name :
            { "Brightness", "White Balance, Automatic", "Power Line Frequency", "Pan, Reset" })
            QVERIFY2(!editor(dialog.get(), name)->isEnabled(), name);
    }
};

KARVEX_TEST_MAIN(TestVidCtrl)
#include "TestVidCtrl.moc"
