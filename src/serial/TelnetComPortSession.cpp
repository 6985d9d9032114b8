#include "serial/TelnetComPortSession.h"

#include <QStringList>
#include <initializer_list>

namespace {

constexpr quint8 Iac = 255, Dont = 254, Do = 253, Wont = 252, Will = 251, Sb = 250, Se = 240;
constexpr quint8 Binary = 0, SuppressGoAhead = 3, ComPort = 44;

// The COM port option's settings the client sends; the server confirms each with its number plus 100.
enum Setting : quint8 { BaudRate = 1, DataSize = 2, Parity = 3, StopSize = 4, Control = 5 };
constexpr quint8 ServerOffset = 100;
// Values of Control: flow control, and the RTS line.
constexpr quint8 NoFlow = 1, SoftwareFlow = 2, HardwareFlow = 3, RtsOn = 11, RtsOff = 12;
// The server's confirmations of a flow control setting; the rest of Control's values are other lines.
constexpr bool isFlowValue(quint8 value)
{
    return value == NoFlow || value == SoftwareFlow || value == HardwareFlow;
}

// A signature or any other text the server sends within the option never
// needs more; the rest is dropped rather than kept without bound.
constexpr qsizetype LongestSubnegotiation = 64;

QByteArray bytesOf(std::initializer_list<quint8> values)
{
    QByteArray bytes;
    for (const quint8 value : values)
        bytes += char(value);
    return bytes;
}

quint8 parityValue(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::NoParity:
        return 1;
    case QSerialPort::OddParity:
        return 2;
    case QSerialPort::EvenParity:
        return 3;
    case QSerialPort::MarkParity:
        return 4;
    case QSerialPort::SpaceParity:
        return 5;
    }
    return 1;
}

quint8 flowValue(QSerialPort::FlowControl flow)
{
    switch (flow) {
    case QSerialPort::NoFlowControl:
        return NoFlow;
    case QSerialPort::SoftwareControl:
        return SoftwareFlow;
    case QSerialPort::HardwareControl:
        return HardwareFlow;
    }
    return NoFlow;
}

// The value a setting asks for, as the option carries it.
QByteArray settingValue(Setting setting, const SerialLineSettings& settings)
{
    switch (setting) {
    case BaudRate: {
        const quint32 rate = quint32(settings.baudRate);
        return bytesOf({quint8(rate >> 24), quint8(rate >> 16), quint8(rate >> 8), quint8(rate)});
    }
    case DataSize:
        return QByteArray(1, char(settings.dataBits));
    case Parity:
        return QByteArray(1, char(parityValue(settings.parity)));
    case StopSize:
        // The option numbers stop sizes as QSerialPort does: 1, 2, and 3 for one and a half.
        return QByteArray(1, char(settings.stopBits));
    case Control:
        return QByteArray(1, char(flowValue(settings.flowControl)));
    }
    return {};
}

QString baudText(QByteArrayView value)
{
    quint32 rate = 0;
    for (const char byte : value)
        rate = rate << 8 | quint8(byte);
    return QStringLiteral("%1 bps").arg(rate);
}

// A setting's value in words, as the user knows the line's settings.
QString valueText(Setting setting, QByteArrayView value)
{
    if (setting == BaudRate)
        return baudText(value);
    const int number = value.isEmpty() ? -1 : quint8(value.front());
    static const QStringList parities{{},
                                      QStringLiteral("なし"),
                                      QStringLiteral("奇数"),
                                      QStringLiteral("偶数"),
                                      QStringLiteral("マーク"),
                                      QStringLiteral("スペース")};
    static const QStringList stops{{}, QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("1.5")};
    static const QStringList flows{
        {}, QStringLiteral("なし"), QStringLiteral("XON/XOFF"), QStringLiteral("ハードウェア（RTS/CTS）")};
    const QStringList* names = setting == Parity     ? &parities
                               : setting == StopSize ? &stops
                               : setting == Control  ? &flows
                                                     : nullptr;
    if (names && number > 0 && number < names->size())
        return names->at(number);
    return QString::number(number);
}

QString settingName(Setting setting)
{
    switch (setting) {
    case BaudRate:
        return QStringLiteral("通信速度");
    case DataSize:
        return QStringLiteral("データビット");
    case Parity:
        return QStringLiteral("パリティ");
    case StopSize:
        return QStringLiteral("ストップビット");
    case Control:
        return QStringLiteral("フロー制御");
    }
    return {};
}

// A setting of the COM port option as it goes to the server, 255 in its value doubled.
QByteArray settingMessage(quint8 setting, QByteArrayView value)
{
    QByteArray bytes = bytesOf({Iac, Sb, ComPort, setting});
    for (const char byte : value) {
        bytes += byte;
        if (quint8(byte) == Iac)
            bytes += byte;
    }
    return bytes + bytesOf({Iac, Se});
}

QByteArray negotiation(quint8 verb, quint8 option)
{
    return bytesOf({Iac, verb, option});
}

} // namespace

TelnetComPortSession::TelnetComPortSession(const SerialLineSettings& settings) : m_settings(settings) {}

QByteArray TelnetComPortSession::start()
{
    m_ours[Binary] = Option::WantYes;
    m_servers[Binary] = Option::WantYes;
    m_ours[ComPort] = Option::WantYes;
    return negotiation(Will, Binary) + negotiation(Do, Binary) + negotiation(Will, ComPort);
}

TelnetComPortSession::Reading TelnetComPortSession::received(QByteArrayView bytes)
{
    Reading reading;
    for (const char character : bytes) {
        const quint8 byte = quint8(character);
        switch (m_parse) {
        case Parse::Data:
            if (byte == Iac) {
                m_parse = Parse::Command;
            } else if (m_afterCr && byte == 0 && m_servers[Binary] != Option::Yes) {
                // Outside binary a Telnet sender follows a bare CR with NUL.
                m_afterCr = false;
            } else {
                m_afterCr = byte == '\r';
                reading.data += character;
            }
            break;
        case Parse::Command:
            m_parse = Parse::Data;
            if (byte == Iac) {
                m_afterCr = false;
                reading.data += character;
            } else if (byte >= Will && byte <= Dont) {
                m_verb = byte;
                m_parse = Parse::Verb;
            } else if (byte == Sb) {
                m_sub.clear();
                m_parse = Parse::Sub;
            }
            // Any other command (no operation, go ahead, break, are you there) asks nothing of a line.
            break;
        case Parse::Verb:
            command(m_verb, byte, reading.reply);
            m_parse = Parse::Data;
            break;
        case Parse::Sub:
            if (byte == Iac)
                m_parse = Parse::SubCommand;
            else if (m_sub.size() < LongestSubnegotiation)
                m_sub += character;
            break;
        case Parse::SubCommand:
            if (byte == Iac) {
                if (m_sub.size() < LongestSubnegotiation)
                    m_sub += character;
                m_parse = Parse::Sub;
            } else {
                // IAC SE ends it; anything else after IAC breaks the rules, and the rest is dropped.
                if (byte == Se)
                    subnegotiation();
                m_parse = Parse::Data;
            }
            break;
        }
    }
    return reading;
}

// RFC 1143's rules, which answer a request only when it changes the option's
// state, so that two sides never bounce the same request back and forth.
void TelnetComPortSession::command(quint8 verb, quint8 option, QByteArray& reply)
{
    const bool theirs = verb == Will || verb == Wont;
    const bool enable = verb == Will || verb == Do;
    Option& state = theirs ? m_servers[option] : m_ours[option];
    // The server may echo nothing back (it would come back as the controller's replies) and
    // need not keep quiet in turns; the line's side takes binary, quiet turns and the COM port.
    const bool wanted = option == Binary || option == SuppressGoAhead || (!theirs && option == ComPort);
    const quint8 yes = theirs ? Do : Will;
    const quint8 no = theirs ? Dont : Wont;
    if (enable) {
        if (state == Option::No) {
            state = wanted ? Option::Yes : Option::No;
            reply += negotiation(wanted ? yes : no, option);
        } else if (state != Option::Yes) {
            state = state == Option::WantYes ? Option::Yes : Option::No;
        }
    } else if (state == Option::Yes) {
        state = Option::No;
        reply += negotiation(no, option);
    } else {
        state = Option::No;
    }

    if (theirs || option != ComPort)
        return;
    if (m_ours[ComPort] == Option::Yes && m_stage == Stage::Offering)
        sendSettings(reply);
    else if (m_ours[ComPort] == Option::No && m_stage != Stage::Refused)
        refuse(QStringLiteral("サーバーが COM ポートの設定（RFC 2217）に応じません"));
}

void TelnetComPortSession::sendSettings(QByteArray& reply)
{
    for (const Setting setting : {BaudRate, DataSize, Parity, StopSize, Control}) {
        reply += settingMessage(setting, settingValue(setting, m_settings));
        m_unconfirmed |= 1u << setting;
    }
    // A line without an RTS wire (a pseudo-terminal behind the server) never confirms this, and
    // still carries data, so nothing waits for it.
    reply += settingMessage(Control, QByteArray(1, char(m_settings.requestToSend ? RtsOn : RtsOff)));
    m_stage = Stage::Setting;
}

void TelnetComPortSession::subnegotiation()
{
    if (m_sub.size() < 2 || quint8(m_sub[0]) != ComPort || m_stage != Stage::Setting)
        return;
    const quint8 command = quint8(m_sub[1]);
    if (command > ServerOffset + 0 && command <= ServerOffset + Control)
        confirmed(quint8(command - ServerOffset), QByteArrayView(m_sub).sliced(2));
}

void TelnetComPortSession::confirmed(quint8 number, QByteArrayView value)
{
    const Setting setting = Setting(number);
    if (setting == Control && (value.size() != 1 || !isFlowValue(quint8(value.front()))))
        return;
    const QByteArray asked = settingValue(setting, m_settings);
    if (value != asked)
        return refuse(QStringLiteral("サーバーが回線の%1を %2 にできませんでした（サーバーの答えは %3）")
                          .arg(settingName(setting), valueText(setting, asked), valueText(setting, value)));
    m_unconfirmed &= ~(1u << setting);
    if (m_unconfirmed == 0)
        m_stage = Stage::Ready;
}

void TelnetComPortSession::refuse(const QString& reason)
{
    m_stage = Stage::Refused;
    m_refusal = reason;
}

QByteArray TelnetComPortSession::encode(QByteArrayView data) const
{
    QByteArray bytes;
    bytes.reserve(data.size());
    for (const char byte : data) {
        bytes += byte;
        if (quint8(byte) == Iac)
            bytes += byte;
        else if (byte == '\r' && m_ours[Binary] != Option::Yes)
            bytes += '\0';
    }
    return bytes;
}

QString TelnetComPortSession::waitingFor() const
{
    switch (m_stage) {
    case Stage::Offering:
        return QStringLiteral("サーバーが COM ポートの設定（RFC 2217）の取り決めに答えませんでした");
    case Stage::Setting: {
        QStringList settings;
        for (const Setting setting : {BaudRate, DataSize, Parity, StopSize, Control})
            settings << settingName(setting) + QLatin1Char(' ') +
                            valueText(setting, settingValue(setting, m_settings));
        return QStringLiteral("サーバーが回線の設定（%1）に答えませんでした")
            .arg(settings.join(QStringLiteral("、")));
    }
    case Stage::Ready:
    case Stage::Refused:
        break;
    }
    return {};
}
