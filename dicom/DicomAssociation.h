#pragma once

#include "DicomNode.h"
#include "DicomStatus.h"

#include <QByteArray>
#include <QString>
#include <QVector>

struct T_ASC_Network;
struct T_ASC_Association;
struct T_ASC_Parameters;
class OFCondition;

// One association as a requestor (SCU), through DCMTK: the network, the proposed contexts and
// the association itself are released in the destructor, whatever happened. Every failure is
// sorted the same way for echo, storage and worklist.
class DicomAssociation
{
public:
    DicomAssociation(const QString& callingAeTitle, const DicomNode& called, int timeoutSeconds);
    ~DicomAssociation();
    DicomAssociation(const DicomAssociation&) = delete;
    DicomAssociation& operator=(const DicomAssociation&) = delete;

    // Proposes `abstractSyntax` with the transfer syntaxes given (most preferred first) in a
    // context of its own; call before open(). Returns false when no more contexts fit.
    bool propose(const QByteArray& abstractSyntax, const QVector<QByteArray>& transferSyntaxes);

    // Requests the association; None when the peer accepted it.
    DicomStatus open();
    // The accepted context for exactly this SOP class and transfer syntax (any transfer syntax
    // when empty), 0 when there is none.
    unsigned char acceptedContext(
        const QByteArray& abstractSyntax, const QByteArray& transferSyntax = {}) const;
    // Releases the association normally (the destructor aborts one still open).
    void release();

    T_ASC_Association* handle() const { return m_association; }
    int timeoutSeconds() const { return m_timeoutSeconds; }

    // What a failed DIMSE exchange means for the caller.
    static DicomStatus fromCondition(const OFCondition& condition);

private:
    QString m_callingAeTitle;
    DicomNode m_called;
    int m_timeoutSeconds;
    T_ASC_Network* m_network = nullptr;
    T_ASC_Parameters* m_parameters = nullptr; // until the association owns it
    T_ASC_Association* m_association = nullptr;
    int m_nextContextId = 1;
    QString m_setupError;
};
