#include "EditCommand.h"

#include "FileReport.h"
#include "Output.h"
#include "files/FileKind.h"
#include "files/PatternFile.h"

#include <QJsonObject>
#include <QRegularExpression>

namespace {

struct Operation
{
    QLatin1String word;
    EditRequest::Kind kind;
    const char* arguments; // as --help writes them
};

// clang-format off
const Operation Operations[] = {
    {QLatin1String("insert"), EditRequest::Kind::Insert, "STEP [COUNT]"},
    {QLatin1String("delete"), EditRequest::Kind::Delete, "STEP [COUNT]"},
    {QLatin1String("duplicate"), EditRequest::Kind::Duplicate, "STEP [COUNT]"},
    {QLatin1String("move"), EditRequest::Kind::Move, "STEP left|right"},
    {QLatin1String("copy-group"), EditRequest::Kind::CopyGroup, "G H"},
    {QLatin1String("swap-groups"), EditRequest::Kind::SwapGroups, "G H"},
    {QLatin1String("clear-group"), EditRequest::Kind::ClearGroup, "G"},
};
// clang-format on

QString operationWords()
{
    QStringList words;
    for (const Operation& operation : Operations)
        words << operation.word;
    return words.join(QStringLiteral("、"));
}

// A whole number of at most three digits, nothing else: "+5", " 5" and "0x5" are no step.
std::optional<int> wholeNumber(const QString& word)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (!digits.match(word).hasMatch())
        return std::nullopt;
    return word.toInt();
}

std::optional<int> groupOf(const QString& word)
{
    const QString letter = word.toUpper();
    if (letter.size() != 1 || letter[0] < QLatin1Char('A') || letter[0] > QLatin1Char('H'))
        return std::nullopt;
    return letter[0].unicode() - 'A';
}

Result<EditRequest> parseArguments(EditRequest request, const Operation& operation, QStringList words)
{
    const int most = int(QString::fromLatin1(operation.arguments).count(QLatin1Char(' ')) + 1);
    const int least = QString::fromLatin1(operation.arguments).contains(QLatin1Char('[')) ? most - 1 : most;
    if (words.size() < least)
        return Failure{QStringLiteral("edit %1 には %2 を指定してください")
                           .arg(operation.word, QLatin1String(operation.arguments))};
    if (words.size() > most)
        return Failure{QStringLiteral("余分な引数「%1」があります").arg(words.at(most))};

    switch (request.kind) {
    case EditRequest::Kind::CopyGroup:
    case EditRequest::Kind::SwapGroups:
    case EditRequest::Kind::ClearGroup: {
        QList<int> groups;
        for (const QString& word : std::as_const(words)) {
            const std::optional<int> group = groupOf(word);
            if (!group)
                return Failure{
                    QStringLiteral("「%1」はグループではありません。グループは A～H です").arg(word)};
            groups << *group;
        }
        request.group = groups.value(0);
        request.otherGroup = groups.value(1);
        if (groups.size() == 2 && request.group == request.otherGroup)
            return Failure{QStringLiteral("%1 には二つの違うグループを指定してください").arg(operation.word)};
        return request;
    }
    default:
        break;
    }

    const std::optional<int> step = wholeNumber(words.first());
    if (!step || *step < 1 || *step > PatternTable::UsedSteps)
        return Failure{QStringLiteral("ステップ「%1」は 1～80 の数ではありません").arg(words.first())};
    request.step = *step - 1;
    if (request.kind == EditRequest::Kind::Move) {
        const QString side = words.at(1);
        if (side != QLatin1String("left") && side != QLatin1String("right"))
            return Failure{
                QStringLiteral("「%1」は move の向きではありません。left か right を指定してください")
                    .arg(side)};
        request.side = side == QLatin1String("left") ? Side::Left : Side::Right;
        return request;
    }
    if (words.size() == 2) {
        const std::optional<int> count = wholeNumber(words.at(1));
        if (!count || *count < 1)
            return Failure{QStringLiteral("ステップの数「%1」は 1 以上の数ではありません").arg(words.at(1))};
        if (*step + *count - 1 > PatternTable::UsedSteps)
            return Failure{
                QStringLiteral("ステップ%1から%2ステップはステップ80を超えます").arg(*step).arg(*count)};
        request.steps = *count;
    }
    return request;
}

// The operation as the window names it.
ChartOperation operationOf(const EditRequest& request)
{
    switch (request.kind) {
    case EditRequest::Kind::Insert:
        return ChartOperation::InsertSteps;
    case EditRequest::Kind::Delete:
        return ChartOperation::DeleteSteps;
    case EditRequest::Kind::Duplicate:
        return ChartOperation::DuplicateSteps;
    case EditRequest::Kind::Move:
        return request.side == Side::Left ? ChartOperation::MoveStepsLeft : ChartOperation::MoveStepsRight;
    case EditRequest::Kind::CopyGroup:
        return ChartOperation::CopyGroup;
    case EditRequest::Kind::SwapGroups:
        return ChartOperation::SwapGroups;
    case EditRequest::Kind::ClearGroup:
        break;
    }
    return ChartOperation::ClearGroup;
}

Result<OperationResult> carriedOut(const EditRequest& request, const PatternTable& chart, qint16 stepCount)
{
    const CellBlock region{CellBlock::wholeStep(request.step).first,
                           CellBlock::wholeStep(request.step + request.steps - 1).last};
    switch (request.kind) {
    case EditRequest::Kind::Insert:
        return insertSteps(chart, stepCount, region);
    case EditRequest::Kind::Delete:
        return deleteSteps(chart, stepCount, region);
    case EditRequest::Kind::Duplicate:
        return duplicateSteps(chart, stepCount, region);
    case EditRequest::Kind::Move:
        return moveSteps(chart, stepCount, region, request.side);
    case EditRequest::Kind::CopyGroup:
        return copyGroup(chart, request.group, request.otherGroup);
    case EditRequest::Kind::SwapGroups:
        return swapGroups(chart, request.group, request.otherGroup);
    case EditRequest::Kind::ClearGroup:
        break;
    }
    return clearGroup(chart, request.group);
}

// Why `output` may not take the edited chart: something there that is no pattern file.
std::optional<QString> notToReplace(const QString& output, bool force)
{
    const FileKind kind = fileKindOf(output);
    if (force || (kind != FileKind::Pdf && kind != FileKind::OtherFile))
        return std::nullopt;
    return QStringLiteral("%1です。パターンファイルで置き換えるには --force を指定してください。")
        .arg(kind == FileKind::Pdf ? fileKindText(kind) : QStringLiteral("パターンファイルではないファイル"));
}

QString stepCountText(qint16 before, qint16 after)
{
    return before == after ? QStringLiteral("ステップ数：%1（そのまま）").arg(before)
                           : QStringLiteral("ステップ数：%1 → %2").arg(before).arg(after);
}

} // namespace

Result<EditRequest> parseEditOperation(const QStringList& words)
{
    if (words.isEmpty())
        return Failure{QStringLiteral("edit には操作（%1）を指定してください").arg(operationWords())};
    for (const Operation& operation : Operations)
        if (words.first() == operation.word) {
            EditRequest request;
            request.kind = operation.kind;
            request.word = operation.word;
            return parseArguments(request, operation, words.mid(1));
        }
    return Failure{QStringLiteral("「%1」という edit の操作はありません。操作は %2 のどれかです")
                       .arg(words.first(), operationWords())};
}

int editPatternFile(const QString& file, const QString& output, const EditRequest& request, bool force,
                    bool json)
{
    const Result<PatternFileContent> loaded = loadOrReport(file);
    if (!loaded)
        return 1;
    const PatternFileContent& content = *loaded;
    const Result<OperationResult> result = carriedOut(request, content.chart, content.stepCount);

    PatternTable chart = content.chart;
    qint16 stepCount = content.stepCount;
    if (result)
        result->change.applyTo(chart, stepCount);

    QString reason;
    QString where = file;
    if (!result) {
        reason = result.reason();
    } else if (result->lostCells > 0 && !force) {
        reason =
            lostCellsText(result->lostCells) + QStringLiteral("失ってよければ --force を指定してください。");
    } else if (const std::optional<QString> refusal = notToReplace(output, force)) {
        reason = *refusal;
        where = output;
    } else if (const Result<> saved = savePatternFile(output, chart, stepCount); !saved) {
        reason = saved.reason();
        where = output;
    }
    const bool written = reason.isEmpty();

    if (json) {
        printJson({{QStringLiteral("file"), file},
                   {QStringLiteral("output"), output},
                   {QStringLiteral("operation"), request.word},
                   {QStringLiteral("text"), operationText(operationOf(request))},
                   {QStringLiteral("place"), result ? QJsonValue(result->place) : QJsonValue::Null},
                   {QStringLiteral("stepCountBefore"), content.stepCount},
                   {QStringLiteral("stepCountAfter"), stepCount},
                   {QStringLiteral("changedCells"), result ? qsizetype(result->change.cells.size()) : 0},
                   {QStringLiteral("lostCells"), result ? result->lostCells : 0},
                   {QStringLiteral("written"), written},
                   {QStringLiteral("reason"), written ? QJsonValue::Null : QJsonValue(reason)}});
    } else if (written) {
        printLine(stdout, result->spoken());
        printLine(stdout, stepCountText(content.stepCount, stepCount));
        printLine(stdout, QStringLiteral("変わったセル：%1").arg(result->change.cells.size()));
        if (result->lostCells > 0)
            printLine(stdout, QStringLiteral("ステップ80より後ろへ押し出されて失われた OFF でないセル：%1")
                                  .arg(result->lostCells));
    }
    if (!written)
        reportFileFailure(where, reason);
    return written ? 0 : 1;
}
