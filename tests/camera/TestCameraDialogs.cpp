// The option dialogs store exactly what the operator chose; Video Control writes the camera's
// controls (played from a scripted driver) as they are edited.
#include "AppSettings.h"
#include "DlgAbout.h"
#include "DlgBtnMgr.h"
#include "DlgSavePath.h"
#include "DlgVidCtrl.h"
#include "DlgWMarker.h"
#include "FileChooser.h"
#include "KarvexVersion.h"
#include "ScriptedV4l2.h"
#include "TestSupport.h"

#include <QtWidgets>

namespace {
const quint32 kBright = V4L2_CID_BRIGHTNESS, kAutoWb = V4L2_CID_AUTO_WHITE_BALANCE,
              kWbTemp = V4L2_CID_WHITE_BALANCE_TEMPERATURE;
using Writes = QList<QPair<quint32, qint32>>;

// The editor in the row of the control's name (its label, or the push button itself).
template <typename T = QWidget> T* editor(const std::unique_ptr<DlgVidCtrl>& dialog, const QString& name)
{
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
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
} // namespace

class TestCameraDialogs : public QObject
{
    Q_OBJECT

    QString answer; // what the operator picks in the next folder or file chooser
    // "<absent>" keeps "stored nothing" apart from "stored empty text".
    static QString stored(const char* key) { return AppSettings().value(key, QStringLiteral("<absent>")); }

private slots:
    void initTestCase()
    {
        FileChooser::setHandler([this](const FileChooser::Request&) { return answer; });
    }

    void optionDialogsStoreExactlyTheChoice()
    {
        // Save path: a trailing "/".
        DlgSavePath dialog(nullptr);
        for (const char* chosen : { "/srv/captures", "/srv/other/" }) {
            answer = QLatin1String(chosen);
            dialog.findChild<QPushButton*>("bnMore")->click();
            dialog.findChild<QPushButton*>("bnOK")->click();
            QCOMPARE(stored("SavePath/path"), answer.endsWith('/') ? answer : answer + '/');
        }

        // Watermark: type "1"/"0" only on OK; a cancelled chooser keeps the picture.
        AppSettings().setValue(QStringLiteral("WMarker/text"), QStringLiteral("Dr. Weber"));
        DlgWMarker marker(nullptr);
        answer = QStringLiteral("/pics/clinic.png");
        marker.findChild<QPushButton*>("bnPict")->click();
        answer.clear();
        marker.findChild<QPushButton*>("bnPict")->click();
        marker.findChild<QRadioButton*>("rbPict")->click();
        marker.findChild<QPushButton*>("bnCancel")->click();
        QCOMPARE(stored("WMarker/type"), QStringLiteral("<absent>"));
        marker.findChild<QPushButton*>("bnOK")->click();
        QCOMPARE(stored("WMarker/type") + stored("WMarker/text") + stored("WMarker/path"),
            QStringLiteral("1Dr. Weber/pics/clinic.png"));
        marker.findChild<QRadioButton*>("rbText")->click();
        marker.findChild<QPushButton*>("bnOK")->click();
        QCOMPARE(stored("WMarker/type"), QStringLiteral("0"));

        // Key control: the chosen rows; a stored row out of range becomes -1 (no selection).
        DlgBtnMgr keys(nullptr);
        keys.findChild<QComboBox*>("cbBtn1")->setCurrentIndex(4);
        keys.findChild<QPushButton*>("bnOK")->click();
        QCOMPARE(stored("BtnMgr/btn1") + stored("BtnMgr/btn2"), QStringLiteral("41"));

        AppSettings().setValue(QStringLiteral("BtnMgr/btn1"), QStringLiteral("9"));
        AppSettings().setValue(QStringLiteral("BtnMgr/btn2"), QStringLiteral("-3"));
        DlgBtnMgr outOfRange(nullptr);
        outOfRange.findChild<QPushButton*>("bnOK")->click();
        QCOMPARE(stored("BtnMgr/btn1") + stored("BtnMgr/btn2"), QStringLiteral("-1-1"));
    }

    void cancelledFolderChooserKeepsTheCaptureFolder()
    {
        AppSettings().setValue(QStringLiteral("SavePath/path"), QStringLiteral("/srv/captures/"));
        DlgSavePath dialog(nullptr);
        answer.clear(); // cancelled
        dialog.findChild<QPushButton*>("bnMore")->click();
        dialog.findChild<QPushButton*>("bnOK")->click();
        QCOMPARE(stored("SavePath/path"), QStringLiteral("/srv/captures/"));
    }

    void captureFolderFieldLooksReadOnly()
    {
        DlgSavePath dialog(nullptr);
        const QPalette shown = dialog.findChild<QLineEdit*>("lePath")->palette();
        QCOMPARE(shown.color(QPalette::Base), dialog.palette().color(QPalette::Window));
    }

    void videoControlOpensForACameraWithControlsAndWritesThem()
    {
        QWidget window;
        std::shared_ptr<V4l2Script> script;
        V4l2Controls::setFactory([&](const QString&) -> std::unique_ptr<V4l2Controls> {
            return script ? std::make_unique<ScriptedV4l2>(script) : nullptr;
        });
        QVERIFY(!DlgVidCtrl::openFor(&window, "/dev/video7", "Camera")); // unplugged
        script = std::make_shared<V4l2Script>();
        script->add(kBright, V4L2_CTRL_TYPE_INTEGER, "Brightness", 0, 9, 0, 0, V4L2_CTRL_FLAG_DISABLED);
        QVERIFY(!DlgVidCtrl::openFor(&window, "/dev/video7", "Camera"));

        script = V4l2Script::typicalCamera();
        QString shown;
        QTimer::singleShot(0, this, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            shown = dialog->windowTitle() + (dialog->parentWidget() == &window ? " over the window" : "");
            dialog->close();
        });
        QVERIFY(DlgVidCtrl::openFor(&window, "/dev/video2", "ZEN-LUX Camera"));
        QCOMPARE(shown, QStringLiteral("ZEN-LUX Camera over the window"));

        // The real device layer on nodes that are no cameras.
        V4l2Controls::setFactory(nullptr);
        for (const QString& node : { QStringLiteral("/nonexistent/video9"), QStringLiteral("/dev/null"),
                 TestSupport::writeFile(QStringLiteral("not-a-camera"), "x") })
            QVERIFY2(!DlgVidCtrl::openFor(&window, node, "Camera"), qPrintable(node));

        // Plus a control of each kind the dialog leaves out, greys or only acts on.
        script->add(V4L2_CID_SHARPNESS, V4L2_CTRL_TYPE_INTEGER, "Sharp", 0, 7, 3, 3, V4L2_CTRL_FLAG_DISABLED);
        script->add(V4L2_CID_PAN_RESET, V4L2_CTRL_TYPE_BUTTON, "Pan, Reset", 0, 0, 0, 0);
        script->add(V4L2_CID_CAMERA_SENSOR_ROTATION, V4L2_CTRL_TYPE_INTEGER, "Rotation", 0, 270, 0, 90,
            V4L2_CTRL_FLAG_READ_ONLY, {}, 90);
        script->add(V4L2_CID_PIXEL_RATE, V4L2_CTRL_TYPE_INTEGER64, "Pixel Rate", 0, 0, 0, 0);
        // The driver greys the manual temperature while the automatic white balance runs.
        script->afterWrite = [](V4l2Script& driver, quint32 id, qint32 value) {
            if (id == kAutoWb) {
                driver.controls[kWbTemp].query.flags = value ? V4L2_CTRL_FLAG_INACTIVE : 0;
                driver.controls[kWbTemp].value = value ? 5100 : 4000;
            }
        };
        auto dialog = std::make_unique<DlgVidCtrl>(
            nullptr, std::make_unique<ScriptedV4l2>(script), ScriptedV4l2(script).list(), QString());
        QVERIFY(!editor(dialog, "Sharp") && !editor(dialog, "Pixel Rate"));
        QVERIFY(editor<QCheckBox>(dialog, "White Balance, Automatic")->isChecked());
        QCOMPARE(editor<QComboBox>(dialog, "Power Line Frequency")->currentText(), QStringLiteral("50 Hz"));
        QVERIFY(!editor(dialog, "Rotation")->isEnabled());

        editor<QSpinBox>(dialog, "Brightness")->setValue(20);
        editor<QSlider>(dialog, "Brightness")->setValue(-5);
        editor<QComboBox>(dialog, "Power Line Frequency")->setCurrentIndex(2);
        editor<QComboBox>(dialog, "Auto Exposure")->setCurrentIndex(0); // menu index 1: there is no 2
        editor<QPushButton>(dialog, "Pan, Reset")->click();
        // Automatic white balance off hands the temperature to the operator; on greys it again
        // with the value the camera chose.
        auto* temp = editor<QSpinBox>(dialog, "White Balance Temperature");
        editor<QCheckBox>(dialog, "White Balance, Automatic")->click();
        temp->setValue(3200);
        editor<QCheckBox>(dialog, "White Balance, Automatic")->click();
        QVERIFY(!temp->isEnabled() && temp->value() == 5100);
        QCOMPARE(script->writes,
            (Writes { { kBright, 20 }, { kBright, -5 }, { V4L2_CID_POWER_LINE_FREQUENCY, 2 },
                { V4L2_CID_EXPOSURE_AUTO, 1 }, { V4L2_CID_PAN_RESET, 0 }, { kAutoWb, 0 }, { kWbTemp, 3200 },
                { kAutoWb, 1 } }));

        // Defaults: neither the button (it only acts) nor the read-only rotation.
        script->writes.clear();
        dialog->findChild<QPushButton*>(QStringLiteral("bnDeft"))->click();
        QCOMPARE(script->writes,
            (Writes { { kBright, 0 }, { V4L2_CID_CONTRAST, 32 }, { V4L2_CID_SATURATION, 55 }, { kAutoWb, 1 },
                { V4L2_CID_POWER_LINE_FREQUENCY, 1 }, { kWbTemp, 4600 }, { V4L2_CID_EXPOSURE_AUTO, 3 },
                { V4L2_CID_EXPOSURE_ABSOLUTE, 250 } }));
        // A refused write shows the camera's value again; unplugged, every control greys.
        script->failingWrites << kBright;
        editor<QSpinBox>(dialog, "Brightness")->setValue(33);
        QCOMPARE(editor<QSlider>(dialog, "Brightness")->value(), 0);
        script->unplugged = true;
        editor<QSpinBox>(dialog, "Contrast")->setValue(50);
        for (const char* name : { "Brightness", "Power Line Frequency", "Pan, Reset" })
            QVERIFY2(!editor(dialog, name)->isEnabled(), name);
    }

    void aboutShowsTheProgramsVersion()
    {
        TestSupport::copyShippedLanguages(); // the wording must leave the number alone
        DlgAbout about(nullptr);
        QCOMPARE(about.findChild<QLabel*>("lbMore")->text(), "Version: " KARVEX_VERSION "\n");
    }
};

KARVEX_TEST_MAIN(TestCameraDialogs)
#include "TestCameraDialogs.moc"
