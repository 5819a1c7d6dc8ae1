#include "DlgType.h"
#include "Resources.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    karvexInitResources();
    DlgType dialog;
    dialog.show();
    return app.exec();
}
