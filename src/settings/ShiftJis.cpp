#include "settings/ShiftJis.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <QStringDecoder>
#include <QStringEncoder>
#endif

#ifdef Q_OS_WIN

namespace {
constexpr UINT CodePage932 = 932;
}

bool shiftJisAvailable()
{
    return true;
}

std::optional<QString> decodeShiftJis(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    const int size = int(bytes.size());
    const int length =
        ::MultiByteToWideChar(CodePage932, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    QString text(length, Qt::Uninitialized);
    ::MultiByteToWideChar(CodePage932, MB_ERR_INVALID_CHARS, bytes.data(), size,
                          reinterpret_cast<wchar_t*>(text.data()), length);
    return text;
}

std::optional<QByteArray> encodeShiftJis(QStringView text)
{
    if (text.isEmpty())
        return QByteArray();
    const auto* characters = reinterpret_cast<const wchar_t*>(text.utf16());
    const int size = int(text.size());
    // Without WC_NO_BEST_FIT_CHARS a character without a form would come out as a look-alike.
    BOOL defaultUsed = FALSE;
    const int length = ::WideCharToMultiByte(CodePage932, WC_NO_BEST_FIT_CHARS, characters, size, nullptr, 0,
                                             nullptr, &defaultUsed);
    if (length <= 0 || defaultUsed)
        return std::nullopt;
    QByteArray bytes(length, Qt::Uninitialized);
    ::WideCharToMultiByte(CodePage932, WC_NO_BEST_FIT_CHARS, characters, size, bytes.data(), length, nullptr,
                          &defaultUsed);
    return bytes;
}

#else

namespace {
const char* const Encoding = "Shift_JIS";
}

bool shiftJisAvailable()
{
    static const bool available = QStringDecoder(Encoding).isValid();
    return available;
}

std::optional<QString> decodeShiftJis(QByteArrayView bytes)
{
    QStringDecoder decoder(Encoding);
    QString text = decoder.decode(bytes);
    if (!decoder.isValid() || decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QByteArray> encodeShiftJis(QStringView text)
{
    QStringEncoder encoder(Encoding);
    QByteArray bytes = encoder.encode(text);
    if (!encoder.isValid() || encoder.hasError())
        return std::nullopt;
    return bytes;
}

#endif
