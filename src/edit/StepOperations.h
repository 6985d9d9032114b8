#pragma once

#include "chart/ElementCode.h"
#include "chart/PatternTable.h"
#include "edit/ChartChange.h"
#include "edit/ChartClipboard.h"
#include "result/Result.h"

#include <QString>
#include <optional>

// The operations that compose a show out of whole steps and groups: insert,
// delete, duplicate and move steps, copy, swap and clear groups, and chase,
// reverse and rotate a block. Each computes the change it would make and
// leaves the chart alone: the window carries the change out as one step of
// its undo history, `trv5kb edit` writes it into a file.
//
// Every step operation acts on a region: with a selection, the selected
// steps of the selected channels only (the rest of those channels shifts, as
// a spreadsheet shifts the rest of the rows it inserts cells into); without
// one, a whole step across all 40 channels (stepRegion()).
//
// The step count follows the steps so that the show keeps what it played:
// - New steps (an insert, a duplicate's copy) that land within the steps in
//   use or right after the last one join them: the count grows by as many, up
//   to 80. New steps further out leave it alone.
// - A delete of whole steps (all 40 channels) shrinks it by as many steps in
//   use as went, never below 1: a delete of the whole chart leaves one OFF
//   step. A delete in some channels only leaves it alone, so that the end of
//   the other channels' show stays in it.
// - A move keeps it, and moves no step into the show or out of it: a block
//   wholly within the steps in use stays within them, one wholly after them
//   stays after them; a block that spans their end moves within the 80 steps.
// - A count outside 1 to 80 (only a hand-edited file has one) counts as all 80
//   steps in use and stays as it stands.
// What an insert or a duplicate pushes past step 80 is lost; lostCells says
// how many of those cells are not OFF, for the window to ask first and the
// command line to refuse. A duplicate of steps that end at step 80 has no
// room and is refused; a copy that reaches past step 80 is cut there (its
// originals stay).

// The operations, for the text of their step in the undo history.
enum class ChartOperation {
    InsertSteps,
    DeleteSteps,
    DuplicateSteps,
    MoveStepsLeft,
    MoveStepsRight,
    CopyGroup,
    SwapGroups,
    ClearGroup,
    Chase,
    Reverse,
    Rotate,
};

// "ステップを挿入", "グループを入れ替え", "チェイス" and so on: the history's
// "元に戻す: ステップを挿入".
QString operationText(ChartOperation operation);

// What an operation would do. Each operation below gives it, or why nothing
// can be done (a move at the edge, a duplicate with no room, a region outside
// the chart) as the failure's reason.
struct OperationResult
{
    ChartOperation operation;
    ChartChange change;
    // Where the region stands afterwards, for the cursor and the selection to
    // follow: the moved block, a duplicate's copy, the group written.
    CellBlock region;
    // Where the operation acted, in words, as place() gives them for a region.
    QString place;
    // Cells that are not OFF which the change pushes past step 80.
    int lostCells = 0;
    // For the screen reader: "ステップを挿入：全チャンネル ステップ10～12".
    QString spoken() const;
};

// The region of a step operation: the selection, or without one the whole
// step of `cursor`.
CellBlock stepRegion(const std::optional<CellBlock>& selection, ChartCell cursor);
// The region of a chase, a reverse or a rotate: the selection, or without one
// `group` over the steps in use.
CellBlock blockRegion(const std::optional<CellBlock>& selection, int group, qint16 stepCount);

// The question, and the command line's reason, for cells an insert or a
// duplicate would lose: "ステップ80より後ろへ押し出されて、OFF でないセルが12個失われます。"
QString lostCellsText(int cells);

// As many all-OFF steps as the region spans, before it; the later steps move
// right. The region stays where it is (now the new steps).
Result<OperationResult> insertSteps(const PatternTable& chart, qint16 stepCount, const CellBlock& region);
// The region's steps go, the later ones move left and OFF fills the end.
Result<OperationResult> deleteSteps(const PatternTable& chart, qint16 stepCount, const CellBlock& region);
// A copy of the region's steps right after them; the later steps move right.
// The region afterwards is the copy.
Result<OperationResult> duplicateSteps(const PatternTable& chart, qint16 stepCount, const CellBlock& region);

enum class Side { Left, Right };
// The region's block of steps swaps places with its neighbour step.
Result<OperationResult> moveSteps(const PatternTable& chart, qint16 stepCount, const CellBlock& region,
                                  Side side);

// Groups 0 to 7 (A to H), five channels by all 80 steps; the step count stays.
// Copying or swapping a group with itself is refused.
Result<OperationResult> copyGroup(const PatternTable& chart, int from, int to);
Result<OperationResult> swapGroups(const PatternTable& chart, int group, int other);
Result<OperationResult> clearGroup(const PatternTable& chart, int group);

// Which way a chase runs through the region's channels. CH1 is the top row
// of the chart as shown: downwards is the first channel at the first step,
// the next channel at the next step; upwards begins at the last channel.
enum class ChaseDirection { Downwards, Upwards };
// `element` on a diagonal over the region, one channel a step, round again
// after the last channel; the region's other cells OFF.
Result<OperationResult> chase(const PatternTable& chart, const CellBlock& region, const ElementCode& element,
                              ChaseDirection direction);
// The region's steps in reverse order.
Result<OperationResult> reverseSteps(const PatternTable& chart, const CellBlock& region);
// The region's steps moved one to the side, the one at the end coming round.
Result<OperationResult> rotateSteps(const PatternTable& chart, const CellBlock& region, Side side);
