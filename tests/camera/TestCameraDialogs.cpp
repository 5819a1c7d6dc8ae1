// The option dialogs store exactly what the operator chose; Video Control writes the camera's
// controls (played from a scripted driver) as they are edited.
#include "AppSettings.h"
#include "DlgBtnMgr.h"
#include "DlgSavePath.h"
#include "DlgVidCtrl.h"
#include "DlgWMarker.h"
#include "FileChooser.h"
#include "ScriptedV4l2.h"
#include "TestSupport.h"

#include <QtWidgets>

namespace {
const quint32 kBright = V4L2_CID_BRIGHTNESS, kAutoWb = V4L2_CID_AUTO_WHITE_BALANCE,
              kWbTemp = V4L2_CID_WHITE_BALANCE_TEMPERATURE;
using Writes = QList<QPair<quint32, qint32>>;
} // namespace

Q_DECLARE_METATYPE(Writes)

class TestCameraDialogs : public QObject
{
    Q_OBJECT

    QString answer; // what the operator picks in the next folder or file chooser
    std::shared_ptr<V4l2Script> script;
    std::unique_ptr<DlgVidCtrl> videoControl;

    // "<absent>" keeps "stored nothing" apart from "stored empty text".
    static QString stored(const QString& key) { return AppSettings().value(key, QStringLiteral("<absent>")); }

    // Video Control on the typical camera plus a control of each kind the dialog leaves out,
    // greys or only acts on; the driver greys the manual temperature while the automatic
    // white balance runs and then reports the temperature it chose.
    void openVideoControl()
    {
        script = V4l2Script::typicalCamera();
        script->add(V4L2_CID_SHARPNESS, V4L2_CTRL_TYPE_INTEGER, "Sharp", 0, 7, 3, 3, V4L2_CTRL_FLAG_DISABLED);
        script->add(V4L2_CID_PAN_RESET, V4L2_CTRL_TYPE_BUTTON, "Pan, Reset", 0, 0, 0, 0);
        script->add(V4L2_CID_CAMERA_SENSOR_ROTATION, V4L2_CTRL_TYPE_INTEGER, "Rotation", 0, 270, 0, 90,
            V4L2_CTRL_FLAG_READ_ONLY, {}, 90);
        script->add(V4L2_CID_PIXEL_RATE, V4L2_CTRL_TYPE_INTEGER64, "Pixel Rate", 0, 0, 0, 0);
        script->afterWrite = [](V4l2Script& driver, quint32 id, qint32 value) {
            if (id == kAutoWb) {
                driver.controls[kWbTemp].query.flags = value ? V4L2_CTRL_FLAG_INACTIVE : 0;
                driver.controls[kWbTemp].value = value ? 5100 : 4000;
            }
        };
        videoControl = std::make_unique<DlgVidCtrl>(
            nullptr, std::make_unique<ScriptedV4l2>(script), ScriptedV4l2(script).list(), QString());
    }

    // The editor in the row of the control's name (its label, or the push button itself).
    template <typename T = QWidget> T* editor(const QString& name) const
    {
        for (QWidget* w : videoControl->findChildren<QWidget*>()) {
            if ((qobject_cast<QLabel*>(w) || qobject_cast<QPushButton*>(w)) && w->property("text") == name) {
                auto* grid = qobject_cast<QGridLayout*>(w->parentWidget()->layout());
                int row, column, rowSpan, columnSpan;
                grid->getItemPosition(grid->indexOf(w), &row, &column, &rowSpan, &columnSpan);
                QWidget* cell = grid->itemAtPosition(row, 1)->widget();
                return qobject_cast<T*>(cell) ? qobject_cast<T*>(cell) : cell->findChild<T*>();
            }
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        FileChooser::setHandler([this](const FileChooser::Request&) { return answer; });
    }
    void init()
    {
        QFile::remove(QStringLiteral("settings.ini"));
        answer.clear();
    }
    void cleanup()
    {
        videoControl.reset();
        script.reset();
        V4l2Controls::setFactory(nullptr);
    }

    void cancelledFolderChooserKeepsTheCaptureFolder()
    {
        AppSettings().setValue(QStringLiteral("SavePath/path"), QStringLiteral("/srv/captures/"));
        DlgSavePath dialog(nullptr);
        dialog.findChild<QPushButton*>("bnMore")->click();
        dialog.findChild<QPushButton*>("bnOK")->click();
        QCOMPARE(stored("SavePath/path"), QStringLiteral("/srv/captures/"));
    }

    void watermarkTextIsKeptWhenAPictureIsChosen()
    {
        AppSettings().setValue(QStringLiteral("WMarker/text"), QStringLiteral("Dr. Weber"));
        DlgWMarker marker(nullptr);
        marker.findChild<QRadioButton*>("rbPict")->click();
        marker.findChild<QPushButton*>("bnOK")->click();
        QCOMPARE(stored("WMarker/text"), QStringLiteral("Dr. Weber"));
    }

    void cancelledPictureChooserKeepsTheWatermarkPicture()
    {
        DlgWMarker marker(nullptr);
        answer = QStringLiteral("/pics/clinic.png");
        marker.findChild<QPushButton*>("bnPict")->click();
        answer.clear();
        marker.findChild<QPushButton*>("bnPict")->click();
        marker.findChild<QPushButton*>("bnOK")->click();
        QCOMPARE(stored("WMarker/path"), QStringLiteral("/pics/clinic.png"));
    }

    void keyControlDropsAStoredCommandOutOfRange_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("above the table") << QStringLiteral("BtnMgr/btn1") << "9";
    }
    void keyControlDropsAStoredCommandOutOfRange()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        AppSettings().setValue(key, value);
        DlgBtnMgr keys(nullptr);
        keys.findChild<QPushButton*>("bnOK")->click();
        QCOMPARE(stored(key), QStringLiteral("-1"));
    }

    void videoControlDoesNotOpenOnANodeThatIsNoCamera_data()
    {
        QTest::addColumn<QString>("node");
        QTest::newRow("plain file") << "not-a-camera";
    }
    void videoControlDoesNotOpenOnANodeThatIsNoCamera()
    {
        QFETCH(QString, node);
        if (node == QLatin1String("not-a-camera"))
            node = TestSupport::writeFile(node, "x");
        QWidget window;
        QVERIFY(!DlgVidCtrl::openFor(&window, node, "Camera"));
    }

    void editIsWrittenToTheCamera_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("editorKind");
        QTest::addColumn<int>("value");
        QTest::addColumn<Writes>("expected");
        QTest::newRow("menu with gaps")
            << QStringLiteral("Auto Exposure") << "combo" << 0 << Writes { { V4L2_CID_EXPOSURE_AUTO, 1 } };
    }
    void editIsWrittenToTheCamera()
    {
        QFETCH(QString, name);
        QFETCH(QString, editorKind);
        QFETCH(int, value);
        QFETCH(Writes, expected);
        openVideoControl();
        if (editorKind == QLatin1String("combo"))
            editor<QComboBox>(name)->setCurrentIndex(value);
        else
            editor<QPushButton>(name)->click();
        QCOMPARE(script->writes, expected);
    }

    void automaticWhiteBalanceOffHandsTheTemperatureToTheOperator()
    {
        openVideoControl();
        editor<QCheckBox>("White Balance, Automatic")->click();
        editor<QSpinBox>("White Balance Temperature")->setValue(3200);
        QCOMPARE(script->writes, (Writes { { kAutoWb, 0 }, { kWbTemp, 3200 } }));
    }

    void defaultsWritesEveryWritableControlButNoButton()
    {
        openVideoControl();
        videoControl->findChild<QPushButton*>(QStringLiteral("bnDeft"))->click();
        QCOMPARE(script->writes,
            (Writes { { kBright, 0 }, { V4L2_CID_CONTRAST, 32 }, { V4L2_CID_SATURATION, 55 }, { kAutoWb, 1 },
                { V4L2_CID_POWER_LINE_FREQUENCY, 1 }, { kWbTemp, 4600 }, { V4L2_CID_EXPOSURE_AUTO, 3 },
                { V4L2_CID_EXPOSURE_ABSOLUTE, 250 } }));
    }

    void refusedWriteShowsTheCamerasValueAgain()
    {
        openVideoControl();
        script->failingWrites << kBright;
        editor<QSpinBox>("Brightness")->setValue(33);
        QCOMPARE(editor<QSlider>("Brightness")->value(), 8);
    }

    void unpluggedCameraGreysEveryControl()
    {
        openVideoControl();
        script->unplugged = true;
        editor<QSpinBox>("Contrast")->setValue(50);
        QVERIFY(!editor("Brightness")->isEnabled());
    }
};

KARVEX_TEST_MAIN(TestCameraDialogs)
#include "TestCameraDialogs.moc"
