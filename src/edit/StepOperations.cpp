#include "edit/StepOperations.h"

#include "edit/ChangePlace.h"

#include "chart/CellMapping.h"
#include "chart/CellName.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int LastStep = PatternTable::UsedSteps - 1;
constexpr int LastChannel = PatternTable::UsedChannels - 1;
constexpr int Groups = PatternTable::UsedChannels / ChannelsPerGroup;

const ElementCode& off()
{
    static const ElementCode value = ElementCode::ofOrdinal(3);
    return value;
}

bool inChart(const CellBlock& region)
{
    return region.first.step >= 0 && region.first.step <= region.last.step && region.last.step <= LastStep &&
           region.first.channel >= 0 && region.first.channel <= region.last.channel &&
           region.last.channel <= LastChannel;
}

bool wholeSteps(const CellBlock& region)
{
    return region.first.channel == 0 && region.last.channel == LastChannel;
}

bool stepCountInRange(qint16 stepCount)
{
    return stepCount == stepsInUse(stepCount);
}

// The count once `added` new steps came in at `at`: grown when they land within the steps in use
// or right after the last one, so that every step of the show stays in it.
qint16 countAfterAdding(qint16 stepCount, int at, int added)
{
    if (!stepCountInRange(stepCount) || at > stepCount)
        return stepCount;
    return qint16(std::min(stepCount + added, PatternTable::UsedSteps));
}

// Cells that are not OFF in the region's channels from step `from` to the end.
int cellsNotOffFrom(const PatternTable& chart, const CellBlock& region, int from)
{
    int cells = 0;
    for (int step = from; step <= LastStep; ++step)
        for (int channel = region.first.channel; channel <= region.last.channel; ++channel)
            if (!(chart.at(step, channel) == off()))
                ++cells;
    return cells;
}

Failure outsideTheChart()
{
    return Failure{QStringLiteral("範囲がチャートの外です。")};
}

OperationResult done(ChartOperation operation, const PatternTable& before, qint16 stepCount,
                     const PatternTable& after, qint16 stepCountAfter, const CellBlock& region, QString where,
                     int lostCells = 0)
{
    return {operation, ChartChange::between(before, stepCount, after, stepCountAfter), region,
            std::move(where), lostCells};
}

OperationResult doneIn(ChartOperation operation, const PatternTable& before, qint16 stepCount,
                       const PatternTable& after, qint16 stepCountAfter, const CellBlock& region,
                       int lostCells = 0)
{
    return done(operation, before, stepCount, after, stepCountAfter, region, place(region), lostCells);
}

// A region's steps rearranged within it: step `from(k)` of the region becomes its step k.
template <typename From>
Result<OperationResult> rearranged(ChartOperation operation, const PatternTable& chart,
                                   const CellBlock& region, From from)
{
    if (!inChart(region))
        return outsideTheChart();
    PatternTable after = chart;
    for (int k = 0; k < region.steps(); ++k)
        for (int channel = region.first.channel; channel <= region.last.channel; ++channel)
            after.at(region.first.step + k, channel) = chart.at(region.first.step + from(k), channel);
    // The step count plays no part: the change leaves it as it is.
    return doneIn(operation, chart, 0, after, 0, region);
}

bool isGroup(int group)
{
    return group >= 0 && group < Groups;
}

} // namespace

QString operationText(ChartOperation operation)
{
    switch (operation) {
    case ChartOperation::InsertSteps:
        return QStringLiteral("ステップを挿入");
    case ChartOperation::DeleteSteps:
        return QStringLiteral("ステップを削除");
    case ChartOperation::DuplicateSteps:
        return QStringLiteral("ステップを複製");
    case ChartOperation::MoveStepsLeft:
        return QStringLiteral("ステップを左へ");
    case ChartOperation::MoveStepsRight:
        return QStringLiteral("ステップを右へ");
    case ChartOperation::CopyGroup:
        return QStringLiteral("グループをコピー");
    case ChartOperation::SwapGroups:
        return QStringLiteral("グループを入れ替え");
    case ChartOperation::ClearGroup:
        return QStringLiteral("グループを消去");
    case ChartOperation::Chase:
        return QStringLiteral("チェイス");
    case ChartOperation::Reverse:
        return QStringLiteral("逆順");
    case ChartOperation::Rotate:
        return QStringLiteral("回転");
    }
    return QString();
}

QString OperationResult::spoken() const
{
    return operationText(operation) + QStringLiteral("：") + place;
}

CellBlock stepRegion(const std::optional<CellBlock>& selection, ChartCell cursor)
{
    return selection ? *selection : CellBlock::wholeStep(cursor.step);
}

CellBlock blockRegion(const std::optional<CellBlock>& selection, int group, qint16 stepCount)
{
    if (selection)
        return *selection;
    CellBlock region = CellBlock::wholeGroup(group);
    region.last.step = stepsInUse(stepCount) - 1;
    return region;
}

QString lostCellsText(int cells)
{
    return QStringLiteral("ステップ80より後ろへ押し出されて、OFF でないセルが%1個失われます。").arg(cells);
}

Result<OperationResult> insertSteps(const PatternTable& chart, qint16 stepCount, const CellBlock& region)
{
    const ChartOperation operation = ChartOperation::InsertSteps;
    if (!inChart(region))
        return outsideTheChart();
    const int added = region.steps();
    PatternTable after = chart;
    for (int channel = region.first.channel; channel <= region.last.channel; ++channel) {
        for (int step = LastStep; step > region.last.step; --step)
            after.at(step, channel) = chart.at(step - added, channel);
        for (int step = region.first.step; step <= region.last.step; ++step)
            after.at(step, channel) = off();
    }
    return doneIn(operation, chart, stepCount, after, countAfterAdding(stepCount, region.first.step, added),
                  region, cellsNotOffFrom(chart, region, PatternTable::UsedSteps - added));
}

Result<OperationResult> deleteSteps(const PatternTable& chart, qint16 stepCount, const CellBlock& region)
{
    const ChartOperation operation = ChartOperation::DeleteSteps;
    if (!inChart(region))
        return outsideTheChart();
    const int gone = region.steps();
    PatternTable after = chart;
    for (int channel = region.first.channel; channel <= region.last.channel; ++channel)
        for (int step = region.first.step; step <= LastStep; ++step)
            after.at(step, channel) = step + gone <= LastStep ? chart.at(step + gone, channel) : off();
    qint16 countAfter = stepCount;
    if (wholeSteps(region) && stepCountInRange(stepCount)) {
        const int inUseGone = std::max(0, std::min(region.last.step + 1, int(stepCount)) - region.first.step);
        countAfter = qint16(std::max(1, stepCount - inUseGone));
    }
    return doneIn(operation, chart, stepCount, after, countAfter, region);
}

Result<OperationResult> duplicateSteps(const PatternTable& chart, qint16 stepCount, const CellBlock& region)
{
    const ChartOperation operation = ChartOperation::DuplicateSteps;
    if (!inChart(region))
        return outsideTheChart();
    if (region.last.step == LastStep)
        return Failure{QStringLiteral("ステップ80の後ろには複製を置けません。")};
    const int added = region.steps();
    PatternTable after = chart;
    for (int channel = region.first.channel; channel <= region.last.channel; ++channel)
        for (int step = region.last.step + 1; step <= LastStep; ++step)
            after.at(step, channel) = chart.at(step - added, channel);
    CellBlock copy = region;
    copy.first.step = region.last.step + 1;
    copy.last.step = std::min(region.last.step + added, LastStep);
    // Only the steps after the region are pushed out: a copy cut at step 80 still has its originals.
    const int lost =
        cellsNotOffFrom(chart, region, std::max(region.last.step + 1, PatternTable::UsedSteps - added));
    return doneIn(operation, chart, stepCount, after, countAfterAdding(stepCount, copy.first.step, added),
                  copy, lost);
}

Result<OperationResult> moveSteps(const PatternTable& chart, qint16 stepCount, const CellBlock& region,
                                  Side side)
{
    const ChartOperation operation =
        side == Side::Left ? ChartOperation::MoveStepsLeft : ChartOperation::MoveStepsRight;
    if (!inChart(region))
        return outsideTheChart();
    // No step crosses the end of the steps in use, unless the block itself spans it.
    const int inUse = stepsInUse(stepCount);
    const bool withinUse = region.last.step < inUse;
    const bool afterUse = region.first.step >= inUse;
    if (side == Side::Left && region.first.step == (afterUse ? inUse : 0))
        return Failure{afterUse ? QStringLiteral("ステップ%1より左へは移動できません（ステップ数 %2）。")
                                      .arg(inUse + 1)
                                      .arg(stepCount)
                                : QStringLiteral("ステップ1より左へは移動できません。")};
    if (side == Side::Right && region.last.step == (withinUse ? inUse - 1 : LastStep))
        return Failure{withinUse && inUse < PatternTable::UsedSteps
                           ? QStringLiteral("ステップ%1より右へは移動できません（ステップ数 %2）。")
                                 .arg(inUse)
                                 .arg(stepCount)
                           : QStringLiteral("ステップ80より右へは移動できません。")};

    const int shift = side == Side::Left ? -1 : 1;
    // The neighbour goes round to the other end of the block.
    const int neighbour = side == Side::Left ? region.first.step - 1 : region.last.step + 1;
    const int neighbourLands = side == Side::Left ? region.last.step : region.first.step;
    PatternTable after = chart;
    for (int channel = region.first.channel; channel <= region.last.channel; ++channel) {
        for (int step = region.first.step; step <= region.last.step; ++step)
            after.at(step + shift, channel) = chart.at(step, channel);
        after.at(neighbourLands, channel) = chart.at(neighbour, channel);
    }
    CellBlock moved = region;
    moved.first.step += shift;
    moved.last.step += shift;
    return doneIn(operation, chart, stepCount, after, stepCount, moved);
}

Result<OperationResult> copyGroup(const PatternTable& chart, int from, int to)
{
    const ChartOperation operation = ChartOperation::CopyGroup;
    if (!isGroup(from) || !isGroup(to))
        return outsideTheChart();
    const CellBlock target = CellBlock::wholeGroup(to);
    if (from == to)
        return Failure{QStringLiteral("%1を%1自身へはコピーできません。").arg(groupName(from))};
    PatternTable after = chart;
    for (int step = 0; step <= LastStep; ++step)
        for (int k = 0; k < ChannelsPerGroup; ++k)
            after.at(step, to * ChannelsPerGroup + k) = chart.at(step, from * ChannelsPerGroup + k);
    return done(operation, chart, 0, after, 0, target,
                QStringLiteral("%1を%2へ").arg(groupName(from), groupName(to)));
}

Result<OperationResult> swapGroups(const PatternTable& chart, int group, int other)
{
    const ChartOperation operation = ChartOperation::SwapGroups;
    if (!isGroup(group) || !isGroup(other))
        return outsideTheChart();
    const CellBlock target = CellBlock::wholeGroup(other);
    if (group == other)
        return Failure{QStringLiteral("%1を%1自身とは入れ替えられません。").arg(groupName(group))};
    PatternTable after = chart;
    for (int step = 0; step <= LastStep; ++step)
        for (int k = 0; k < ChannelsPerGroup; ++k)
            std::swap(after.at(step, group * ChannelsPerGroup + k),
                      after.at(step, other * ChannelsPerGroup + k));
    return done(operation, chart, 0, after, 0, target,
                QStringLiteral("%1と%2").arg(groupName(group), groupName(other)));
}

Result<OperationResult> clearGroup(const PatternTable& chart, int group)
{
    const ChartOperation operation = ChartOperation::ClearGroup;
    if (!isGroup(group))
        return outsideTheChart();
    const CellBlock target = CellBlock::wholeGroup(group);
    PatternTable after = chart;
    for (int step = 0; step <= LastStep; ++step)
        for (int channel = target.first.channel; channel <= target.last.channel; ++channel)
            after.at(step, channel) = off();
    return done(operation, chart, 0, after, 0, target, groupName(group));
}

Result<OperationResult> chase(const PatternTable& chart, const CellBlock& region, const ElementCode& element,
                              ChaseDirection direction)
{
    const ChartOperation operation = ChartOperation::Chase;
    if (!inChart(region))
        return outsideTheChart();
    PatternTable after = chart;
    for (int k = 0; k < region.steps(); ++k) {
        const int round = k % region.channels();
        const int lit = direction == ChaseDirection::Downwards ? region.first.channel + round
                                                               : region.last.channel - round;
        for (int channel = region.first.channel; channel <= region.last.channel; ++channel)
            after.at(region.first.step + k, channel) = channel == lit ? element : off();
    }
    return doneIn(operation, chart, 0, after, 0, region);
}

Result<OperationResult> reverseSteps(const PatternTable& chart, const CellBlock& region)
{
    const int last = region.steps() - 1;
    return rearranged(ChartOperation::Reverse, chart, region, [last](int k) { return last - k; });
}

Result<OperationResult> rotateSteps(const PatternTable& chart, const CellBlock& region, Side side)
{
    const int steps = region.steps();
    const int by = side == Side::Left ? 1 : steps - 1;
    return rearranged(ChartOperation::Rotate, chart, region, [steps, by](int k) { return (k + by) % steps; });
}
