#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>
#include <utility>

// How the widget-free layers (files, settings, the serial port's helpers,
// editing, the command line's parsing) report an operation that can fail:
// its value, or the reason it failed in the user's words, never both.
// `Result<>` is the same for an operation that gives no value. A failure is
// made from its reason (`return Failure{reason};`), a success from the value
// (`return {};` for `Result<>`). Each front end turns a reason into its own
// form: the window into a message box, the command line into a line on
// standard error.
//
// A look-up that may find nothing is a std::optional, which means only that.

// Why an operation failed, worded for the user; a Result of any type is made from it.
struct Failure
{
    QString reason;
};

template <typename T = void> class [[nodiscard]] Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure failure) : m_reason(std::move(failure.reason)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    // The value of a success. Asking a failure for it is a mistake of the
    // program, which stops it rather than go on with a value that is not there.
    const T& value() const& { return *checked(); }
    T& value() & { return *checked(); }
    T value() && { return std::move(*checked()); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    // Why it failed; empty for a success.
    const QString& reason() const { return m_reason; }

private:
    const std::optional<T>& checked() const
    {
        if (!m_value)
            qFatal("The value of a failed operation was taken: %s", qUtf8Printable(m_reason));
        return m_value;
    }
    std::optional<T>& checked() { return const_cast<std::optional<T>&>(std::as_const(*this).checked()); }

    std::optional<T> m_value;
    QString m_reason;
};

template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : m_failed(true), m_reason(std::move(failure.reason)) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }

    // Why it failed; empty for a success.
    const QString& reason() const { return m_reason; }

private:
    bool m_failed = false;
    QString m_reason;
};
