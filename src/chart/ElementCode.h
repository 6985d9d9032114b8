#pragma once

#include <QString>
#include <optional>

// The value of one chart cell. Elements 0 to 9 are held as numbers and
// elements 10 to 15 as one-character texts; a value keeps the kind it was
// stored with, because the pattern files write the two kinds differently and
// a number never equals a text. Used by the chart, editing, the pattern files
// and the transfer.
// The sixteen dimming elements are numbered 0 to 15 (their ordinals).
inline constexpr int ElementCount = 16;

// The character of each element wherever one character stands for it: in the
// controller's records, on the clipboard, in the simulator. Element n is the
// character 0x30 + n: "0" to "9", then ":" ";" "<" "=" ">" "?".
QChar elementCharacter(int ordinal);
// The element a character stands for, or none for any other character.
std::optional<int> elementOfCharacter(QChar character);

class ElementCode
{
public:
    enum class Kind { Empty, Number, Text };

    ElementCode() = default;
    static ElementCode number(double value);
    static ElementCode text(const QString& value);
    // The stored form of element `ordinal` (0 to 15).
    static ElementCode ofOrdinal(int ordinal);
    // The stored form of the element `character` stands for (elementCharacter), or none.
    static std::optional<ElementCode> ofCharacter(QChar character);

    Kind kind() const { return m_kind; }
    bool isEmpty() const { return m_kind == Kind::Empty; }
    bool isNumber() const { return m_kind == Kind::Number; }
    bool isText() const { return m_kind == Kind::Text; }
    double numberValue() const { return m_number; }
    const QString& textValue() const { return m_text; }

    // The first element, in ordinal order, that equals this value; none for an
    // empty value, a number other than 0 to 9 or any other text.
    std::optional<int> ordinal() const;

    // A number in plain decimal form (shortest form that reads back the same),
    // a text as it stands, an empty value as "". For an element this is the
    // character 0x30 plus its ordinal.
    QString toText() const;

    // Numbers equal by value, texts by their characters; a number never
    // equals a text.
    friend bool operator==(const ElementCode& a, const ElementCode& b);

private:
    Kind m_kind = Kind::Empty;
    double m_number = 0;
    QString m_text;
};
