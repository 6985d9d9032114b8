#include "app/Controls.h"
#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "files/FilePlace.h"
#include "files/PatternFile.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>

// One pattern file with its two buttons and the texts of their questions.
struct PatternSlot
{
    const char* saveButton;
    const char* loadButton;
    const char* file;
    const char* saveTitle;
    const char* savePrompt;
    const char* loadTitle;
    const char* loadPrompt;
};

namespace {
constexpr PatternSlot PatternSlots[] = {
    {"Command2", "Command3", "パターン１.txt", "パターン１へ保存",
     "現在の画面表示を保存するとパターン１の元のデータは失われます。保存しますか？", "パターン１の呼び出し",
     "パターン１のデータを呼び出すと、現在画面に表示されているデータは失われます。呼び出しますか？"},
    {"Command4", "Command5", "パターン２.txt", "パターン２へ保存",
     "現在の画面表示を保存するとパターン２の元のデータは失われます。保存しますか？", "パターン２の呼び出し",
     "パターン２のデータを呼び出すと、現在画面に表示されているデータは失われます。呼び出しますか？"},
};

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

void Form1::connectFiles()
{
    m_combo1 = control<QComboBox>("Combo1");
    for (const PatternSlot& slot : PatternSlots) {
        connect(control<QAbstractButton>(slot.saveButton), &QAbstractButton::clicked, this,
                [this, &slot] { saveSlot(slot); });
        connect(control<QAbstractButton>(slot.loadButton), &QAbstractButton::clicked, this,
                [this, &slot] { loadSlot(slot); });
    }
}

bool Form1::confirm(const char* title, const char* prompt)
{
    return m_boxes.show(this, {QString::fromUtf8(title), QString::fromUtf8(prompt), QMessageBox::Information,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes}) == QMessageBox::Yes;
}

void Form1::reportFileFailure(const QString& title, const QString& file, const QString& path,
                              const QString& reason)
{
    m_boxes.show(this,
                 {title, QStringLiteral("「%1」：%2\n%3").arg(file, reason, QDir::toNativeSeparators(path)),
                  QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok});
}

void Form1::saveSlot(const PatternSlot& slot)
{
    if (m_state.busy())
        return;
    if (!confirm(slot.saveTitle, slot.savePrompt))
        return;
    StatusReset();
    // The old file is replaced only by a complete new one; the chart stays as it is either way.
    if (const std::optional<QString> reason =
            savePatternFile(slotPath(slot), m_state.PatternData, m_state.StepCount))
        reportFileFailure(QString::fromUtf8(slot.saveTitle), slotPath(slot), slotFullPath(slot), *reason);
}

void Form1::loadSlot(const PatternSlot& slot)
{
    if (m_state.busy())
        return;
    if (!confirm(slot.loadTitle, slot.loadPrompt))
        return;
    StatusReset();
    // The whole file is read and checked before the chart changes: a bad file changes nothing.
    const PatternFileResult result = loadPatternFile(slotPath(slot));
    if (!result.ok()) {
        reportFileFailure(QString::fromUtf8(slot.loadTitle), slotPath(slot), slotFullPath(slot),
                          result.error);
        return;
    }
    takeLoadedChart(*result.content);
}

void Form1::takeLoadedChart(const PatternFileContent& content)
{
    commitChange(
        ChartChange::between(m_state.PatternData, m_state.StepCount, content.chart, content.stepCount));
    showInComboBox(m_combo1, QString::number(m_state.StepCount));
    if (m_state.CurrentPage == 0 || m_state.CurrentPage == 1) {
        DrawPage(m_state.CurrentPage);
        PlaceEndMarker(m_state.CurrentPage);
    }
}
