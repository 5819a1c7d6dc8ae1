#include "DicomAssociation.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/cond.h>
#include <dcmtk/dcmnet/dul.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {
QString text(const OFCondition& condition)
{
    return QString::fromLocal8Bit(condition.text());
}

bool aeTitleReason(const T_ASC_RejectParameters& rejection)
{
    return rejection.reason == ASC_REASON_SU_CALLINGAETITLENOTRECOGNIZED
        || rejection.reason == ASC_REASON_SU_CALLEDAETITLENOTRECOGNIZED;
}
} // namespace

DicomAssociation::DicomAssociation(const QString& callingAeTitle, const DicomNode& called, int timeoutSeconds)
    : m_callingAeTitle(callingAeTitle)
    , m_called(called)
    , m_timeoutSeconds(qMax(1, timeoutSeconds))
{
    // The connection time-out is process-wide in DCMTK; every exchange sets its own.
    dcmConnectionTimeout.set(m_timeoutSeconds);
    OFCondition condition = ASC_initializeNetwork(NET_REQUESTOR, 0, m_timeoutSeconds, &m_network);
    if (condition.good())
        condition = ASC_createAssociationParameters(&m_parameters, ASC_DEFAULTMAXPDU);
    if (condition.bad()) {
        m_setupError = text(condition);
        return;
    }
    const QByteArray calling = callingAeTitle.toLatin1();
    const QByteArray calledTitle = called.aeTitle.toLatin1();
    const QByteArray address = QStringLiteral("%1:%2").arg(called.host).arg(called.port).toLatin1();
    ASC_setAPTitles(m_parameters, calling.constData(), calledTitle.constData(), nullptr);
    ASC_setPresentationAddresses(m_parameters, "localhost", address.constData());
}

DicomAssociation::~DicomAssociation()
{
    if (m_association) {
        ASC_abortAssociation(m_association);
        ASC_destroyAssociation(&m_association);
    } else if (m_parameters) {
        ASC_destroyAssociationParameters(&m_parameters);
    }
    if (m_network)
        ASC_dropNetwork(&m_network);
}

bool DicomAssociation::propose(const QByteArray& abstractSyntax, const QVector<QByteArray>& transferSyntaxes)
{
    if (!m_parameters || m_nextContextId > 255)
        return false;
    std::vector<const char*> syntaxes;
    for (const QByteArray& syntax : transferSyntaxes)
        syntaxes.push_back(syntax.constData());
    const OFCondition condition
        = ASC_addPresentationContext(m_parameters, static_cast<T_ASC_PresentationContextID>(m_nextContextId),
            abstractSyntax.constData(), syntaxes.data(), static_cast<int>(syntaxes.size()));
    if (condition.bad())
        return false;
    m_nextContextId += 2; // context IDs are odd
    return true;
}

DicomStatus DicomAssociation::open()
{
    if (!m_parameters)
        return { DicomStatus::Failed, m_setupError };
    T_ASC_Parameters* parameters = m_parameters;
    const OFCondition condition = ASC_requestAssociation(m_network, parameters, &m_association);
    // From here on the association holds the parameters (even a refused one).
    m_parameters = m_association ? nullptr : m_parameters;
    if (condition.good())
        return {};
    if (condition == DUL_ASSOCIATIONREJECTED) {
        T_ASC_RejectParameters rejection;
        ASC_getRejectParameters(parameters, &rejection);
        OFString reason;
        ASC_printRejectParameters(reason, &rejection);
        const QString detail
            = QStringLiteral("Association rejected: ") + QString::fromLocal8Bit(reason.c_str());
        return { aeTitleReason(rejection) ? DicomStatus::AeTitleRejected : DicomStatus::Failed, detail };
    }
    return fromCondition(condition);
}

unsigned char DicomAssociation::acceptedContext(
    const QByteArray& abstractSyntax, const QByteArray& transferSyntax) const
{
    if (!m_association)
        return 0;
    if (transferSyntax.isEmpty())
        return ASC_findAcceptedPresentationContextID(m_association, abstractSyntax.constData());
    T_ASC_PresentationContext context;
    for (int i = 1; i < m_nextContextId; i += 2) {
        if (ASC_findAcceptedPresentationContext(
                m_association->params, static_cast<T_ASC_PresentationContextID>(i), &context)
                .good()
            && abstractSyntax == context.abstractSyntax && transferSyntax == context.acceptedTransferSyntax)
            return context.presentationContextID;
    }
    return 0;
}

void DicomAssociation::release()
{
    if (!m_association)
        return;
    if (ASC_releaseAssociation(m_association).bad())
        ASC_abortAssociation(m_association);
    ASC_destroyAssociation(&m_association);
}

DicomStatus DicomAssociation::fromCondition(const OFCondition& condition)
{
    const QString detail = text(condition);
    if (condition == DUL_READTIMEOUT || condition == DIMSE_NODATAAVAILABLE)
        return { DicomStatus::NoAnswer, detail };
    if (condition.module() == OFM_dcmnet && condition.code() == DULC_UNKNOWNHOST)
        return { DicomStatus::Refused, detail };
    if (condition.module() == OFM_dcmnet && condition.code() == DULC_TCPINITERROR) {
        // DCMTK words the socket's own errors into the condition text; a time-out there means
        // the host did not answer the connection at all.
        if (detail.contains(QLatin1String("timed out"), Qt::CaseInsensitive)
            || detail.contains(QLatin1String("timeout"), Qt::CaseInsensitive))
            return { DicomStatus::NoAnswer, detail };
        return { DicomStatus::Refused, detail };
    }
    return { DicomStatus::Failed, detail };
}
