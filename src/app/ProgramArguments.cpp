#include "app/ProgramArguments.h"

#include <QCommandLineParser>

ProgramArguments parseProgramArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    // -reverse and -style are Qt's, not -r, -e, -v... run together.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    parser.addOptions({help, version});
    ProgramArguments given;
    // An unknown option does not hide a request for help, which comes first.
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help)) {
        given.kind = ProgramArguments::Kind::Help;
        return given;
    }
    if (parser.isSet(version)) {
        given.kind = ProgramArguments::Kind::Version;
        return given;
    }
    if (!parsed) {
        given.kind = ProgramArguments::Kind::BadUsage;
        const QString option = parser.unknownOptionNames().value(0);
        given.reason =
            option.isEmpty()
                ? QStringLiteral("オプションの指定が正しくありません")
                : QStringLiteral("「%1%2」というオプションはありません")
                      .arg(option.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), option);
        return given;
    }
    QStringList files = parser.positionalArguments();
    if (!files.isEmpty())
        given.file = files.takeFirst();
    given.ignored = files;
    return given;
}

QString programHelpText()
{
    return QStringLiteral(
        "使い方: trv5kb-programmer [オプション] [FILE]\n"
        "\n"
        "40チャンネル調光コントローラの調光パターンをウィンドウで作り、シリアル回線で\n"
        "コントローラに書き込みます。コマンドラインから書き込むには trv5kb を使います。\n"
        "\n"
        "オプション:\n"
        "  -h, --help     この説明を表示\n"
        "  -v, --version  バージョンを表示\n"
        "\n"
        "引数:\n"
        "  FILE           ウィンドウが開いてから「ファイルを開く…」と同じく読み込むパターン\n"
        "                 ファイル。開くのは一つだけで、二つ目からは開きません\n"
        "\n"
        "Qt のオプション（-platform offscreen など）も使えます。\n");
}

QString programVersionText()
{
    return QStringLiteral("trv5kb-programmer " TRV_VERSION "\n");
}
