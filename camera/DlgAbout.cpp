#include "DlgAbout.h"

#include "KarvexVersion.h"
#include "Language.h"

#include <QLabel>
#include <QVBoxLayout>

DlgAbout::DlgAbout(QWidget* parent)
    : QDialog(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("DlgAbout"));
    setFixedSize(320, 150);
    setFont(QFont(QStringLiteral("Arial")));
    setWindowTitle(tr("About"));

    auto* layout = new QVBoxLayout(this);
    layout->setObjectName(QStringLiteral("verticalLayout"));

    auto* name = new QLabel(tr("Karvex"), this);
    name->setObjectName(QStringLiteral("lbName"));
    QFont nameFont = name->font();
    nameFont.setPointSize(10);
    nameFont.setWeight(QFont::Bold);
    name->setFont(nameFont);
    name->setAlignment(Qt::AlignCenter);

    auto* more = new QLabel(tr("Version: %1\n").arg(QStringLiteral(KARVEX_VERSION)), this);
    more->setObjectName(QStringLiteral("lbMore"));
    more->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* copy = new QLabel(tr("Copyright (C) Karvex. All rights reserved."), this);
    copy->setObjectName(QStringLiteral("lbCopy"));
    copy->setAlignment(Qt::AlignCenter);
    // A translated notice may not fit the narrow fixed width on one line.
    copy->setWordWrap(true);

    layout->addWidget(name, 1);
    layout->addWidget(more, 3);
    layout->addWidget(copy, 1);

    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Language::instance()->translate(this);
}

DlgAbout::~DlgAbout() = default;
