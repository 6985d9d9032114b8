#pragma once

#include "files/PatternFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The controller's side of the programming exchange, one received byte at a
// time: it splits the stream into messages, checks each against the protocol
// (erase first, then a step count 01 to 80, then records 000 to 399 in turn,
// each of 8 element characters), keeps the chart the records carry and says
// which letter to answer with. How the letter and its CR go out is the
// caller's business.
class ControllerSession
{
public:
    struct Faults
    {
        int silentAfter = -1; // answer no record after this many in a transfer
        int hangUpAfter = -1; // close the line when this many records were answered
    };

    struct Step
    {
        std::optional<char> reply;                // the letter to answer, followed by CR
        QByteArray message;                       // the message this byte completed, if any
        QStringList violations;                   // breaches of the protocol
        QStringList notes;                        // anything else worth telling the user
        std::optional<PatternFileContent> result; // the whole chart, once record 399 came
        bool hangUp = false;
    };

    explicit ControllerSession(Faults faults);

    Step feed(char byte);

    // Shows a message or a byte the way a user can read it: "S80\r".
    static QString printable(const QByteArray& bytes);

    // E, S and W: the letters that begin a message.
    static bool isCommand(char byte);

private:
    enum class Expecting { Erase, StepCount, Record };

    void handle(const QByteArray& message, Step& step);
    void handleErase(Step& step);
    void handleStepCount(const QByteArray& message, Step& step);
    void handleRecord(const QByteArray& message, Step& step);

    Faults m_faults;
    QByteArray m_message;
    bool m_inGarbage = false;
    Expecting m_expecting = Expecting::Erase;
    int m_nextRecord = 0;
    bool m_silent = false;
    PatternFileContent m_received;
};
