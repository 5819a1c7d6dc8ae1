#include "DicomFileSaver.h"

#include <QFile>
#include <QTemporaryFile>

#include <dcmtk/dcmdata/dcfilefo.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

QString DicomFileSaver::save(DcmFileFormat& file, int transferSyntax, const QString& dicomPath)
{
    const QString cannotWrite = QStringLiteral("The DICOM file %1 cannot be written: %2.");
    QTemporaryFile part(dicomPath + QStringLiteral(".XXXXXX.part"));
    if (!part.open())
        return cannotWrite.arg(dicomPath, part.errorString());
    part.close();

    const QByteArray partName = QFile::encodeName(part.fileName());
    const OFCondition saved = file.saveFile(partName.constData(), E_TransferSyntax(transferSyntax),
        EET_ExplicitLength, EGL_recalcGL, EPD_noChange);
    if (saved.bad())
        return cannotWrite.arg(dicomPath, QString::fromUtf8(saved.text()));
    // rename() replaces an older file of the same name in one step.
    if (std::rename(partName.constData(), QFile::encodeName(dicomPath).constData()) != 0)
        return cannotWrite.arg(dicomPath, QString::fromLocal8Bit(std::strerror(errno)));
    part.setAutoRemove(false);
    return {};
}
