#include "CommandLine.h"

#include "serial/PortName.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <optional>
#include <utility>

namespace {

const QString HelpOption = QStringLiteral("help");
const QString VersionOption = QStringLiteral("version");
const QString GroupOption = QStringLiteral("group");
const QString PortOption = QStringLiteral("port");
const QString JsonOption = QStringLiteral("json");
const QString ForceOption = QStringLiteral("force");
const QString OutputOption = QStringLiteral("output");
// For the tests only, so that a transfer that gets no answer ends in less than 15 s. Not in --help.
const QString TimeoutOption = QStringLiteral("timeout-ms");

struct Subcommand
{
    QLatin1String name;
    Command::Kind kind;
    int files; // the pattern files it takes
};

// clang-format off
const Subcommand Subcommands[] = {
    {QLatin1String("ports"), Command::Kind::Ports, 0},
    {QLatin1String("check"), Command::Kind::Check, 1},
    {QLatin1String("show"), Command::Kind::Show, 1},
    {QLatin1String("write"), Command::Kind::Write, 1},
    {QLatin1String("diff"), Command::Kind::Diff, 2},
    {QLatin1String("pdf"), Command::Kind::Pdf, 1},
    {QLatin1String("edit"), Command::Kind::Edit, 1},
};
// clang-format on

QString subcommandNames()
{
    QStringList names;
    for (const Subcommand& subcommand : Subcommands)
        names << subcommand.name;
    return names.join(QStringLiteral("、"));
}

// A port of `write`: COMn, a network port or a device path (on Windows a COM port above COM20);
// the reason when it is none of them.
std::optional<QString> notAPort(const QString& port)
{
    if (portNumberOf(port) != 0 || isDevicePath(port) || isNetworkPort(port))
        return std::nullopt;
    if (isUrlName(port))
        return notANetworkPortText(port);
#ifdef Q_OS_WIN
    return QStringLiteral("「%1」はポートの名前ではありません（COM1～COM256、または "
                          "tcp://ホスト:ポート番号、rfc2217://ホスト:ポート番号）")
        .arg(port);
#else
    return QStringLiteral("「%1」はポートの名前ではありません（COM1～COM20、"
                          "/dev/ttyUSB0 のようなデバイスのパス、または tcp://ホスト:ポート番号、"
                          "rfc2217://ホスト:ポート番号）")
        .arg(port);
#endif
}

// QCommandLineParser explains in English; the option it names is all that is taken from it.
QString parserFailure(const QCommandLineParser& parser)
{
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString name = parser.unknownOptionNames().first();
        return QStringLiteral("「%1%2」というオプションはありません")
            .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
    }
    const QString text = parser.errorText();
    const QRegularExpressionMatch quoted = QRegularExpression(QStringLiteral("'([^']*)'")).match(text);
    const QString option = quoted.hasMatch() ? quoted.captured(1) : QString();
    if (text.startsWith(QLatin1String("Missing value")))
        return QStringLiteral("オプション「%1」には値が要ります").arg(option);
    if (text.startsWith(QLatin1String("Unexpected value")))
        return QStringLiteral("オプション「%1」は値をとりません").arg(option.section(QLatin1Char('='), 0, 0));
    return QStringLiteral("オプションの指定が正しくありません");
}

} // namespace

Result<Command> parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {{QStringLiteral("h"), HelpOption}, QString()},
        {VersionOption, QString()},
        {GroupOption, QString(), QStringLiteral("A-H")},
        {PortOption, QString(), QStringLiteral("PORT")},
        {JsonOption, QString()},
        {ForceOption, QString()},
        {{QStringLiteral("o"), OutputOption}, QString(), QStringLiteral("OUT")},
        {TimeoutOption, QString(), QStringLiteral("MS")},
    });
    if (!parser.parse(arguments))
        return Failure{parserFailure(parser)};

    Command command;
    if (parser.isSet(HelpOption))
        return command;
    if (parser.isSet(VersionOption)) {
        command.kind = Command::Kind::Version;
        return command;
    }

    QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return Failure{QStringLiteral("サブコマンド（%1）を指定してください").arg(subcommandNames())};
    const QString name = words.takeFirst();
    const Subcommand* subcommand = nullptr;
    for (const Subcommand& candidate : Subcommands)
        if (name == candidate.name)
            subcommand = &candidate;
    if (!subcommand)
        return Failure{QStringLiteral("「%1」というサブコマンドはありません").arg(name)};
    command.kind = subcommand->kind;

    if (words.size() < subcommand->files)
        return Failure{subcommand->files == 1
                           ? QStringLiteral("%1 にはパターンファイルを指定してください").arg(name)
                           : QStringLiteral("%1 にはパターンファイルを%2つ指定してください")
                                 .arg(name)
                                 .arg(subcommand->files)};
    if (subcommand->files >= 1)
        command.file = words.takeFirst();
    if (subcommand->files >= 2)
        command.otherFile = words.takeFirst();
    if (command.kind == Command::Kind::Pdf) {
        if (words.isEmpty())
            return Failure{QStringLiteral("pdf には書き出す PDF ファイルを指定してください")};
        command.output = words.takeFirst();
    }
    if (command.kind == Command::Kind::Edit) {
        Result<EditRequest> edit = parseEditOperation(words);
        if (!edit)
            return Failure{edit.reason()};
        command.edit = std::move(edit).value();
        command.output = parser.isSet(OutputOption) ? parser.value(OutputOption) : command.file;
        words.clear();
    }
    if (!words.isEmpty())
        return Failure{QStringLiteral("余分な引数「%1」があります").arg(words.first())};

    const bool show = command.kind == Command::Kind::Show;
    const bool write = command.kind == Command::Kind::Write;
    // Every sub-command with a result for scripts gives it as JSON on request; `show` is for people
    // and `pdf` makes a file.
    const bool pdf = command.kind == Command::Kind::Pdf;
    const bool edit = command.kind == Command::Kind::Edit;
    const bool json = !show && !pdf;
    for (const auto& [option, allowed] :
         {std::pair{GroupOption, show}, std::pair{PortOption, write}, std::pair{TimeoutOption, write},
          std::pair{JsonOption, json}, std::pair{ForceOption, pdf || edit}, std::pair{OutputOption, edit}})
        if (parser.isSet(option) && !allowed)
            return Failure{QStringLiteral("%1 には --%2 を指定できません").arg(name, option)};
    command.json = parser.isSet(JsonOption);
    command.force = parser.isSet(ForceOption);

    if (parser.isSet(GroupOption)) {
        const QString group = parser.value(GroupOption).toUpper();
        if (group.size() != 1 || group[0] < QLatin1Char('A') || group[0] > QLatin1Char('H'))
            return Failure{QStringLiteral("--group には A から H のどれかを指定してください")};
        command.group = group[0].unicode() - 'A';
    }
    if (write) {
        if (!parser.isSet(PortOption))
            return Failure{QStringLiteral("write には --port で書き込むポートを指定してください")};
        // Each port named is one controller, all written at once.
        command.ports = parser.values(PortOption);
        for (const QString& port : std::as_const(command.ports))
            if (const std::optional<QString> reason = notAPort(port))
                return Failure{*reason};
    }
    if (parser.isSet(TimeoutOption)) {
        // The time-out of each transfer of the run, each counted on its own line.
        bool ok = false;
        command.timeoutMs = parser.value(TimeoutOption).toInt(&ok);
        if (!ok || command.timeoutMs < 1)
            return Failure{QStringLiteral("--%1 には 1 以上のミリ秒数を指定してください").arg(TimeoutOption)};
    }
    return command;
}

QString helpText()
{
    return QStringLiteral(
        "使い方: trv5kb <サブコマンド> [引数]\n"
        "\n"
        "40チャンネル調光コントローラのパターンファイルを調べ、編集し、コントローラに書き込みます。\n"
        "ファイルの読み方、ポートの選び方、書き込みの手順はウィンドウ（trv5kb-programmer）と同じです。\n"
        "\n"
        "サブコマンド:\n"
        "  ports                    接続されているシリアルデバイスと、Setting.ini の COMn の割り当て\n"
        "  check FILE               "
        "ファイルをウィンドウと同じく読み込み、ステップ数と各グループの要素を表示\n"
        "  show FILE [--group A-H]  チャートを表で表示（ステップが縦、チャンネルが横）\n"
        "  write FILE --port PORT   パターンをコントローラに書き込む（--port は複数可）\n"
        "  diff FILE1 FILE2         二つのパターンファイルの違うセルとステップ数を表示\n"
        "  pdf FILE OUT.pdf         チャート全体を印刷用の PDF（A4 横、グループごとに1ページ）に書き出す。\n"
        "                           OUT.pdf が FILE と同じファイルなら書き出さず、PDF でない既存の\n"
        "                           ファイル（パターンファイルなど）は --force がなければ置き換えない\n"
        "  edit FILE OPERATION [-o OUT]\n"
        "                           ウィンドウのチャートの操作をファイルに行う（ステップは 1～80、\n"
        "                           グループは A～H、ステップは全チャンネル）。OPERATION は次のどれか:\n"
        "                             insert STEP [COUNT]     STEP の前に OFF のステップを COUNT 個（既定 "
        "1）挿入\n"
        "                             delete STEP [COUNT]     STEP から COUNT 個を削除（後ろを詰め、最後は "
        "OFF）\n"
        "                             duplicate STEP [COUNT]  STEP から COUNT 個の複製をその後ろに挿入\n"
        "                             move STEP left|right    STEP を左または右のステップと入れ替える\n"
        "                             copy-group G H          グループ G の 80 ステップをグループ H "
        "にコピー\n"
        "                             swap-groups G H         グループ G と H を入れ替える\n"
        "                             clear-group G           グループ G をすべて OFF にする\n"
        "                           ステップ数はウィンドウと同じく変わる。-o がなければ FILE を置き換える。\n"
        "                           OFF でないセルがステップ80より後ろへ押し出されて失われるときは、\n"
        "                           --force がなければ書き込まない\n"
        "\n"
        "オプション:\n"
        "  -h, --help               この説明を表示\n"
        "  --version                バージョンを表示\n"
        "  --group A-H              show: そのグループの5チャンネルだけを表示\n"
        "  --port PORT              write: COM1～COM20（Setting.ini の割り当てのとおり）、\n"
        "                           /dev/ttyUSB0 のようなデバイスのパス（Linux）、または\n"
        "                           ネットワークのポート tcp://ホスト:ポート番号、\n"
        "                           rfc2217://ホスト:ポート番号（回線の設定もサーバーに送る）。\n"
        "                           何度でも指定でき、同じデバイスを二度指定することはできません\n"
        "  -o, --output OUT         edit: 編集したパターンを書き込むファイル（なければ FILE を置き換える）\n"
        "  --json                   ports、check、diff、write、edit: 結果を JSON で表示\n"
        "  --force                  pdf: PDF でない既存のファイルも PDF で置き換える。\n"
        "                           edit: ステップ80より後ろへ押し出されるセルを失っても書き込み、\n"
        "                           パターンファイルでない既存の OUT も置き換える\n"
        "\n"
        "結果は標準出力に、失敗の理由は標準エラーに出ます。ポートが一つなら、write の最後の行は\n"
        "「成功」、または「失敗：」に続く理由です。ポートが二つ以上なら、すべてに同時に書き込み、\n"
        "ポートごとの結果、かかった時間、失敗の理由を最後にまとめて表示します。\n"
        "端末では、書き込んだレコード数（400 まで）をポートごとに表示します。\n"
        "\n"
        "終了ステータス: 0 成功（write はすべてのポートで成功、diff は違いなし）、\n"
        "                1 失敗（write はどれかのポートで失敗、diff は違いあり、\n"
        "                  edit はできない操作と、--force のない押し出し）、\n"
        "                2 引数の誤り（diff は読めないファイルも）\n");
}
