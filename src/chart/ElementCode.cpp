#include "chart/ElementCode.h"

#include <QLocale>
#include <cmath>

ElementCode ElementCode::number(double value)
{
    ElementCode code;
    code.m_kind = Kind::Number;
    code.m_number = value;
    return code;
}

ElementCode ElementCode::text(const QString& value)
{
    ElementCode code;
    code.m_kind = Kind::Text;
    code.m_text = value;
    return code;
}

ElementCode ElementCode::ofOrdinal(int ordinal)
{
    if (ordinal < 10)
        return number(ordinal);
    return text(QString(QChar(0x30 + ordinal)));
}

std::optional<int> ElementCode::ordinal() const
{
    switch (m_kind) {
    case Kind::Number:
        if (m_number >= 0 && m_number <= 9 && std::floor(m_number) == m_number)
            return int(m_number);
        return std::nullopt;
    case Kind::Text:
        if (m_text.size() == 1 && m_text[0] >= QChar(':') && m_text[0] <= QChar('?'))
            return m_text[0].unicode() - 0x30;
        return std::nullopt;
    case Kind::Empty:
        break;
    }
    return std::nullopt;
}

QString ElementCode::toText() const
{
    switch (m_kind) {
    case Kind::Number:
        if (m_number == 0)
            return QStringLiteral("0"); // also for -0
        return QString::number(m_number, 'g', QLocale::FloatingPointShortest);
    case Kind::Text:
        return m_text;
    case Kind::Empty:
        break;
    }
    return {};
}

bool operator==(const ElementCode& a, const ElementCode& b)
{
    if (a.m_kind != b.m_kind)
        return false;
    switch (a.m_kind) {
    case ElementCode::Kind::Number:
        return a.m_number == b.m_number;
    case ElementCode::Kind::Text:
        return a.m_text == b.m_text;
    case ElementCode::Kind::Empty:
        break;
    }
    return true;
}
