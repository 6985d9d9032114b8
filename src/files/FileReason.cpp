#include "files/FileReason.h"

#include <cerrno>
#include <iterator>

namespace {

struct KnownError
{
    int error;
    const char16_t* text;
};

// clang-format off
const KnownError KnownErrors[] = {
    {ENOENT, u"ファイルまたはフォルダがありません"},
    {EACCES, u"アクセスする権限がありません"},
    {EPERM, u"この操作は許可されていません"},
    {ENAMETOOLONG, u"ファイル名が長すぎます"},
    {ENOSPC, u"ディスクの空きが足りません"},
#ifdef EDQUOT
    {EDQUOT, u"ディスクの使用量の上限を超えました"},
#endif
    {EROFS, u"読み取り専用のファイルシステムです"},
    {EISDIR, u"フォルダです"},
    {ENOTDIR, u"パスの途中にフォルダでないものがあります"},
    {ELOOP, u"シンボリックリンクが多すぎるか、輪になっています"},
    {EIO, u"入出力エラーが起きました"},
    {EBUSY, u"デバイスまたはファイルが使用中です"},
#ifdef ETXTBSY
    {ETXTBSY, u"実行中のプログラムのファイルです"},
#endif
    {EEXIST, u"同じ名前のものがすでにあります"},
    {EMFILE, u"開いているファイルが多すぎます"},
    {ENFILE, u"システムで開いているファイルが多すぎます"},
    {EFBIG, u"ファイルが大きすぎます"},
    {EXDEV, u"別のファイルシステムへは移せません"},
    {ENXIO, u"デバイスがありません"},
    {ENODEV, u"デバイスがありません"},
    {ENOMEM, u"メモリが足りません"},
};
// clang-format on

} // namespace

QString systemReasonText(int error)
{
    for (const KnownError& known : KnownErrors)
        if (known.error == error)
            return QString::fromUtf16(known.text);
    return qt_error_string(error);
}

QString inUserWords(const QString& reason)
{
    for (const KnownError& known : KnownErrors)
        if (reason == qt_error_string(known.error))
            return QString::fromUtf16(known.text);
    return reason;
}
