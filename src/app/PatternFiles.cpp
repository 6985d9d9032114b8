#include "app/PatternFiles.h"

#include "app/Announcer.h"
#include "app/FormControls.h"
#include "app/MessageBoxes.h"
#include "app/WindowContext.h"
#include "files/FilePlace.h"
#include "files/PatternFile.h"
#include "model/ChartDocument.h"
#include "model/ChartHistory.h"

#include <QAbstractButton>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMenu>

const PatternSlot PatternFiles::Slots[2] = {
    {"パターン１.txt", "パターン１へ保存",
     "現在の画面表示を保存するとパターン１の元のデータは失われます。保存しますか？", "パターン１の呼び出し",
     "パターン１のデータを呼び出すと、現在画面に表示されているデータは失われます。呼び出しますか？"},
    {"パターン２.txt", "パターン２へ保存",
     "現在の画面表示を保存するとパターン２の元のデータは失われます。保存しますか？", "パターン２の呼び出し",
     "パターン２のデータを呼び出すと、現在画面に表示されているデータは失われます。呼び出しますか？"},
};

namespace {

const QString LastChartFile = QStringLiteral("前回終了時のチャート.txt");
const QString LastChartTitle = QStringLiteral("前回終了時のチャートに戻す");

// The files live in the current working directory, under their bare names.
QString slotPath(const PatternSlot& slot)
{
    return QString::fromUtf8(slot.file);
}

// Also where the working folder has been removed since: the message names it.
QString slotFullPath(const PatternSlot& slot)
{
    return absoluteFilePath(slotPath(slot));
}

} // namespace

PatternFiles::PatternFiles(WindowContext& context, const QString& dataFolder)
    : QObject(&context.window), m_context(context), m_dataFolder(dataFolder)
{
    for (std::size_t slot = 0; slot < std::size(Slots); ++slot) {
        connect(context.controls.saveSlot[slot], &QAbstractButton::clicked, this,
                [this, slot] { saveSlot(Slots[slot]); });
        connect(context.controls.loadSlot[slot], &QAbstractButton::clicked, this,
                [this, slot] { loadSlot(Slots[slot]); });
    }
}

bool PatternFiles::confirm(const char* title, const char* prompt)
{
    return m_context.boxes.show(&m_context.window, {QString::fromUtf8(title), QString::fromUtf8(prompt),
                                                    QMessageBox::Information,
                                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes}) ==
           QMessageBox::Yes;
}

void PatternFiles::reportFailure(const QString& title, const QString& file, const QString& path,
                                 const QString& reason)
{
    m_context.boxes.show(&m_context.window,
                         {title,
                          QStringLiteral("「%1」：%2\n%3").arg(file, reason, QDir::toNativeSeparators(path)),
                          QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok});
}

// The buttons ask their question between the busy test and the clearing of the status.
void PatternFiles::saveSlot(const PatternSlot& slot)
{
    if (m_context.busy() || !confirm(slot.saveTitle, slot.savePrompt))
        return;
    m_context.opening();
    // The old file is replaced only by a complete new one; the chart stays as it is either way.
    const ChartDocument& document = m_context.document;
    if (const Result<> saved = savePatternFile(slotPath(slot), document.PatternData(), document.StepCount());
        !saved)
        reportFailure(QString::fromUtf8(slot.saveTitle), slotPath(slot), slotFullPath(slot), saved.reason());
    else
        m_context.announcer.announce(QStringLiteral("「%1」に保存しました").arg(slotPath(slot)));
}

void PatternFiles::loadSlot(const PatternSlot& slot)
{
    if (m_context.busy() || !confirm(slot.loadTitle, slot.loadPrompt))
        return;
    m_context.opening();
    // The whole file is read and checked before the chart changes: a bad file changes nothing.
    const Result<PatternFileContent> loaded = loadPatternFile(slotPath(slot));
    if (!loaded) {
        reportFailure(QString::fromUtf8(slot.loadTitle), slotPath(slot), slotFullPath(slot), loaded.reason());
        return;
    }
    m_context.history.load(loaded->chart, loaded->stepCount, QStringLiteral("呼出"));
}

// Empty where the user has no data folder (no home): then nothing is kept or restored.
QString PatternFiles::lastChartPath() const
{
    return m_dataFolder.isEmpty() ? QString() : QDir(m_dataFolder).filePath(LastChartFile);
}

void PatternFiles::keepChartAtExit()
{
    // A run that leaves the chart of start-up has nothing to keep, and writing it would lose
    // the chart a run before left there.
    const ChartDocument& document = m_context.document;
    if (document.isStartUpChart())
        return;
    // Nothing is asked at shutdown; a line for whoever started the program tells them.
    Result<> kept;
    if (m_dataFolder.isEmpty())
        kept = Failure{QStringLiteral("利用者のデータフォルダがわかりません")};
    else if (!QDir().mkpath(m_dataFolder))
        kept = Failure{
            QStringLiteral("フォルダ「%1」を作成できません").arg(QDir::toNativeSeparators(m_dataFolder))};
    else
        kept = savePatternFile(lastChartPath(), document.PatternData(), document.StepCount());
    if (!kept)
        qWarning().noquote() << QStringLiteral("終了時のチャートを「%1」に保存できませんでした: %2")
                                    .arg(QDir::toNativeSeparators(
                                             lastChartPath().isEmpty() ? LastChartFile : lastChartPath()),
                                         kept.reason());
}

void PatternFiles::restoreLastChart()
{
    if (!m_context.opening())
        return;
    const Result<PatternFileContent> loaded = loadPatternFile(lastChartPath());
    if (!loaded) {
        reportFailure(LastChartTitle, LastChartFile, lastChartPath(), loaded.reason());
        return;
    }
    m_context.history.load(loaded->chart, loaded->stepCount, LastChartTitle);
}

void PatternFiles::addMenuItems(QMenu& menu, bool idle)
{
    QAction* restore = menu.addAction(LastChartTitle);
    restore->setEnabled(idle && QFile::exists(lastChartPath()));
    connect(restore, &QAction::triggered, this, &PatternFiles::restoreLastChart);
}
