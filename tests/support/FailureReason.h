#pragma once

#include "result/Result.h"

#include <QString>
#include <optional>

// For QCOMPARE, which shows both sides: the reason of a failed operation, or
// nothing where it succeeded.
template <typename T> std::optional<QString> failureReason(const Result<T>& result)
{
    return result ? std::nullopt : std::optional<QString>(result.reason());
}
