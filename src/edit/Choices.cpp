#include "edit/Choices.h"

#include <cmath>
#include <limits>

namespace {
// Rounds half to even, as whole-number conversion does, into the 16-bit range.
std::optional<qint16> wholeNumber(double value)
{
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<qint16>::min() ||
        rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(rounded);
}

std::optional<double> number(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? std::optional(value) : std::nullopt;
}
} // namespace

std::optional<qint16> rangeChoice(const QString& text)
{
    if (auto value = number(text))
        return wholeNumber(*value - 1);
    return std::nullopt;
}

std::optional<qint16> stepCountChoice(const QString& text)
{
    if (auto value = number(text))
        return wholeNumber(*value);
    return std::nullopt;
}

ChartChange stepCountPick(qint16 current, const QString& text)
{
    ChartChange change;
    if (const std::optional<qint16> picked = stepCountChoice(text))
        change.stepCount = StepCountEdit{current, *picked};
    return change;
}
