#include "app/ChartChangeCommand.h"
#include "app/Controls.h"
#include "app/Form1.h"
#include "edit/PageSwitch.h"
#include "files/PatternFile.h"

#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QUndoStack>

namespace {
const QString LastChartFile = QStringLiteral("前回終了時のチャート.txt");
const QString LastChartTitle = QStringLiteral("前回終了時のチャートに戻す");
} // namespace

void Form1::commitChange(ChartChange change)
{
    change.applyTo(m_state.PatternData, m_state.StepCount);
    if (change.changesAnything())
        m_history->push(new ChartChangeCommand(std::move(change),
                                               [this](const ChartChange& again) { replayChange(again); }));
}

void Form1::replayChange(const ChartChange& change)
{
    change.applyTo(m_state.PatternData, m_state.StepCount);
    if (const std::optional<ChartCell> first = change.firstCell()) {
        const int group = first->channel / ChannelsPerGroup;
        if (group != m_state.CurrentGroup)
            showGroup(group);
        const int page = first->step / StepsPerPage;
        if (page != m_state.CurrentPage && switchPage(m_state, m_state.CurrentPage, page))
            showPage(page);
    }
    RedrawChart();
    PlaceEndMarker(m_state.CurrentPage);
    showInComboBox(m_combo1, QString::number(m_state.StepCount));
}

// With nothing to undo or redo the keys do nothing at all, as Ctrl+C does with nothing selected.
void Form1::Undo_Click()
{
    if (!m_history->canUndo() || !StatusReset())
        return;
    m_history->undo();
}

void Form1::Redo_Click()
{
    if (!m_history->canRedo() || !StatusReset())
        return;
    m_history->redo();
}

// Empty where the user has no data folder (no home): then nothing is kept or restored.
QString Form1::lastChartPath() const
{
    return m_dataFolder.isEmpty() ? QString() : QDir(m_dataFolder).filePath(LastChartFile);
}

void Form1::keepChartAtExit()
{
    // A run that leaves the chart of start-up has nothing to keep, and writing it would lose
    // the chart a run before left there.
    WindowState startUp;
    startUp.startUp();
    if (m_state.PatternData == startUp.PatternData && m_state.StepCount == startUp.StepCount)
        return;
    // Nothing is asked at shutdown; a line for whoever started the program tells them.
    std::optional<QString> reason;
    if (m_dataFolder.isEmpty())
        reason = QStringLiteral("利用者のデータフォルダがわかりません");
    else if (!QDir().mkpath(m_dataFolder))
        reason = QStringLiteral("フォルダ「%1」を作成できません").arg(QDir::toNativeSeparators(m_dataFolder));
    else
        reason = savePatternFile(lastChartPath(), m_state.PatternData, m_state.StepCount);
    if (reason)
        qWarning().noquote()
            << QStringLiteral("trv5kb-programmer: 終了時のチャートを「%1」に保存できませんでした: %2")
                   .arg(QDir::toNativeSeparators(lastChartPath().isEmpty() ? LastChartFile : lastChartPath()),
                        *reason);
}

void Form1::restoreLastChart()
{
    if (!StatusReset())
        return;
    const PatternFileResult result = loadPatternFile(lastChartPath());
    if (!result.ok()) {
        reportFileFailure(LastChartTitle, LastChartFile, lastChartPath(), result.error);
        return;
    }
    takeLoadedChart(*result.content);
}
