#include "DlgBtnMgr.h"

#include "AppSettings.h"
#include "KeyboardKeys.h"
#include "Language.h"
#include "MsgBox.h"
#include "ui_DlgBtnMgr.h"

DlgBtnMgr::DlgBtnMgr(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DlgBtnMgr>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    {
        const AppSettings settings;
        // A stored command outside the list shows as no selection (row -1), not a wrong one.
        ui->cbBtn1->setCurrentIndex(settings.cameraKeyCommand(1));
        ui->cbBtn2->setCurrentIndex(settings.cameraKeyCommand(2));
    }

    connect(ui->bnOK, &QPushButton::clicked, this, &DlgBtnMgr::onOK);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgBtnMgr::onCancel);
    Language::instance()->translate(this);

    const KeyboardKeys keys = KeyboardKeys::load();
    const QString hint = Language::instance()->text(QStringLiteral("DlgBtnMgr"), QStringLiteral("keyHint"));
    const struct {
        KeyCaptureEdit* edit;
        QComboBox* command;
        QPushButton* clear;
    } rows[KeyboardKeys::kCount]
        = { { ui->edKey1, ui->cbKey1, ui->bnClr1 }, { ui->edKey2, ui->cbKey2, ui->bnClr2 } };
    for (int i = 0; i < KeyboardKeys::kCount; ++i) {
        KeyCaptureEdit* edit = rows[i].edit;
        edit->setPlaceholderText(hint);
        edit->setKey(keys.at(i).key);
        rows[i].command->setCurrentIndex(keys.at(i).command);
        connect(edit, &KeyCaptureEdit::keyPressed, this,
            [this, edit](const QKeySequence& key) { assignKey(edit, key); });
        connect(rows[i].clear, &QPushButton::clicked, edit, [edit] { edit->setKey(QKeySequence()); });
    }
    // The camera keys' rows come first; the focus must not start in a key field, where the
    // first key pressed would be taken as an assignment.
    ui->cbBtn1->setFocus();
}

void DlgBtnMgr::assignKey(KeyCaptureEdit* edit, const QKeySequence& key)
{
    if (KeyboardKeys::reservedIn(parentWidget()).contains(key)) {
        MsgBox::warningText(
            this, Language::systemText("key_used").arg(key.toString(QKeySequence::NativeText)));
        return;
    }
    // One key does one thing: taken by one row, it leaves the other.
    KeyCaptureEdit* other = edit == ui->edKey1 ? ui->edKey2 : ui->edKey1;
    if (other->key() == key)
        other->setKey(QKeySequence());
    edit->setKey(key);
}

DlgBtnMgr::~DlgBtnMgr() = default;

void DlgBtnMgr::onOK(bool)
{
    {
        AppSettings settings;
        settings.setCameraKeyCommand(1, ui->cbBtn1->currentIndex());
        settings.setCameraKeyCommand(2, ui->cbBtn2->currentIndex());
    }
    KeyboardKeys keys;
    keys.set(0, { ui->edKey1->key(), ui->cbKey1->currentIndex() });
    keys.set(1, { ui->edKey2->key(), ui->cbKey2->currentIndex() });
    keys.save();
    accept();
}

void DlgBtnMgr::onCancel(bool)
{
    reject();
}
