#include "chart/ElementCode.h"

#include <QLocale>
#include <cmath>

namespace {
constexpr char16_t FirstElementCharacter = u'0';
constexpr int NumberElements = 10; // 0 to 9 are stored as numbers, the rest as their character
} // namespace

QChar elementCharacter(int ordinal)
{
    return QChar(char16_t(FirstElementCharacter + ordinal));
}

std::optional<int> elementOfCharacter(QChar character)
{
    const int ordinal = int(character.unicode()) - FirstElementCharacter;
    if (ordinal < 0 || ordinal >= ElementCount)
        return std::nullopt;
    return ordinal;
}

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
    if (ordinal < NumberElements)
        return number(ordinal);
    return text(QString(elementCharacter(ordinal)));
}

std::optional<ElementCode> ElementCode::ofCharacter(QChar character)
{
    if (const std::optional<int> ordinal = elementOfCharacter(character))
        return ofOrdinal(*ordinal);
    return std::nullopt;
}

std::optional<int> ElementCode::ordinal() const
{
    switch (m_kind) {
    case Kind::Number:
        if (m_number >= 0 && m_number < NumberElements && std::floor(m_number) == m_number)
            return int(m_number);
        return std::nullopt;
    case Kind::Text:
        // A digit between quotes is a text, and no element.
        if (const std::optional<int> element =
                m_text.size() == 1 ? elementOfCharacter(m_text[0]) : std::nullopt;
            element && *element >= NumberElements)
            return element;
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
