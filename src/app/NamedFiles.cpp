#include "app/NamedFiles.h"

#include "app/Announcer.h"
#include "app/FileDialogs.h"
#include "app/MessageBoxes.h"
#include "app/WindowContext.h"
#include "app/WindowShortcuts.h"
#include "files/FileName.h"
#include "files/FilePlace.h"
#include "files/PatternFile.h"
#include "model/ChartDocument.h"
#include "model/ChartHistory.h"

#include <QDebug>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

namespace {

const QString RecentFilesName = QStringLiteral("最近使ったファイル.txt");
const QString OpenTitle = QStringLiteral("ファイルを開く");
const QString SaveTitle = QStringLiteral("上書き保存");
const QString SaveAsTitle = QStringLiteral("名前を付けて保存");
const QString RecentTitle = QStringLiteral("最近使ったファイル");
const QString DropTitle = QStringLiteral("ファイルのドロップ");

QStringList patternFilters()
{
    return {QStringLiteral("パターンファイル (*.txt)"), QStringLiteral("すべてのファイル (*)")};
}

// A name the system gave in bytes that are no text shows them as \xHH.
QString nameOf(const QString& path)
{
    return shownFileName(QFileInfo(path).fileName());
}

// A file name shown as a menu caption: an ampersand stays a character, not a key.
QString menuText(const QString& text)
{
    return QString(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

NamedFiles::NamedFiles(WindowContext& context, const QString& configFolder)
    : QObject(&context.window), m_context(context),
      m_recent(configFolder.isEmpty() ? QString() : QDir(configFolder).filePath(RecentFilesName))
{
    WindowShortcuts& shortcuts = m_context.shortcuts;
    m_openKeys = shortcuts.add(QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O), [this] { open(); });
    m_saveKeys = shortcuts.add(QKeySequence::Save, QKeySequence(Qt::CTRL | Qt::Key_S), [this] { save(); });
    m_saveAsKeys = shortcuts.add(QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                                 [this] { saveAs(); });
    m_context.window.setAcceptDrops(true);
    m_context.window.installEventFilter(this);
}

const QString& NamedFiles::current() const
{
    return m_context.document.file();
}

QString NamedFiles::lastFolder() const
{
    QString newest = current();
    if (newest.isEmpty()) {
        // Read as a dialog opens rather than at start-up, which needs nothing of it.
        RecentFiles recent(m_recent.file());
        recent.load();
        newest = recent.paths().value(0);
    }
    if (!newest.isEmpty() && QFileInfo(QFileInfo(newest).absolutePath()).isDir())
        return QFileInfo(newest).absolutePath();
    return QDir::currentPath();
}

void NamedFiles::tell(const QString& title, const QString& text)
{
    m_context.boxes.show(&m_context.window,
                         {title, text, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok});
}

// As the slots report: the file's name, the reason, the whole path.
void NamedFiles::reportFailure(const QString& title, const QString& path, const QString& reason)
{
    tell(title,
         QStringLiteral("「%1」：%2\n%3")
             .arg(nameOf(path), reason, shownFileName(QDir::toNativeSeparators(absoluteFilePath(path)))));
}

void NamedFiles::warnOfUnkeptList(const Result<>& stored) const
{
    if (!stored)
        qWarning().noquote() << QStringLiteral("最近使ったファイルの一覧を「%1」に保存できませんでした: %2")
                                    .arg(QDir::toNativeSeparators(m_recent.file()), stored.reason());
}

void NamedFiles::remember(const QString& path)
{
    m_context.document.setFile(QDir::cleanPath(absoluteFilePath(path)));
    // Where the list cannot be kept, the file itself was still read or written.
    warnOfUnkeptList(m_recent.add(current()));
}

// The whole file is read and checked before the chart changes: a bad file changes nothing.
bool NamedFiles::load(const QString& path)
{
    const Result<PatternFileContent> loaded = loadPatternFile(path);
    if (!loaded) {
        reportFailure(OpenTitle, path, loaded.reason());
        return false;
    }
    m_context.history.load(loaded->chart, loaded->stepCount, OpenTitle);
    remember(path);
    return true;
}

void NamedFiles::write(const QString& path, const QString& title)
{
    const ChartDocument& document = m_context.document;
    if (const Result<> saved = savePatternFile(path, document.PatternData(), document.StepCount()); !saved) {
        reportFailure(title, path, saved.reason());
        return;
    }
    remember(path);
    m_context.announcer.announce(QStringLiteral("「%1」に保存しました").arg(nameOf(path)));
}

void NamedFiles::open()
{
    if (!m_context.opening())
        return;
    const QString path =
        m_context.dialogs().openFile(&m_context.window, {OpenTitle, lastFolder(), {}, patternFilters(), {}});
    if (!path.isEmpty())
        load(path);
}

void NamedFiles::save()
{
    if (current().isEmpty()) {
        saveAs();
        return;
    }
    if (!m_context.opening())
        return;
    write(current(), SaveTitle);
}

void NamedFiles::saveAs()
{
    if (!m_context.opening())
        return;
    const QString offered = current().isEmpty() ? QStringLiteral("パターン.txt") : nameOf(current());
    const QString path = m_context.dialogs().saveFile(
        &m_context.window, {SaveAsTitle, lastFolder(), offered, patternFilters(), QStringLiteral("txt")});
    if (!path.isEmpty())
        write(path, SaveAsTitle);
}

void NamedFiles::openGiven(const QString& path)
{
    if (!m_context.opening())
        return;
    load(path);
}

// A file that has gone since is taken off the list, and the user is told so.
void NamedFiles::openRecent(const QString& path)
{
    if (!m_context.opening())
        return;
    if (QFileInfo::exists(path)) {
        load(path);
        return;
    }
    warnOfUnkeptList(m_recent.remove(path));
    tell(RecentTitle, QStringLiteral("「%1」が見つかりません。最近使ったファイルの一覧から外します。\n%2")
                          .arg(nameOf(path), QDir::toNativeSeparators(path)));
}

void NamedFiles::addMenuItems(QMenu& menu, bool idle)
{
    QAction* open = menu.addAction(withKeys(OpenTitle + QStringLiteral("…"), m_openKeys));
    open->setEnabled(idle);
    connect(open, &QAction::triggered, this, &NamedFiles::open);

    QMenu* recent = menu.addMenu(RecentTitle);
    recent->setObjectName(QStringLiteral("RecentFilesMenu"));
    m_recent.load();
    int number = 0;
    for (const QString& path : m_recent.paths()) {
        QString caption = QStringLiteral("&%1 %2（%3）")
                              .arg(++number)
                              .arg(menuText(nameOf(path)),
                                   menuText(QDir::toNativeSeparators(QFileInfo(path).absolutePath())));
        if (!QFileInfo::exists(path))
            caption += QStringLiteral(" ― 見つかりません");
        QAction* item = recent->addAction(caption);
        item->setEnabled(idle);
        connect(item, &QAction::triggered, this, [this, path] { openRecent(path); });
    }
    recent->setEnabled(idle && !m_recent.paths().isEmpty());

    // The chart's file is named here, so the user sees where Ctrl+S writes.
    QAction* save = menu.addAction(
        withKeys(current().isEmpty() ? SaveTitle
                                     : QStringLiteral("%1（%2）").arg(SaveTitle, menuText(nameOf(current()))),
                 m_saveKeys));
    save->setEnabled(idle);
    connect(save, &QAction::triggered, this, &NamedFiles::save);
    QAction* saveAs = menu.addAction(withKeys(SaveAsTitle + QStringLiteral("…"), m_saveAsKeys));
    saveAs->setEnabled(idle);
    connect(saveAs, &QAction::triggered, this, &NamedFiles::saveAs);
}

// Anything may be dragged over the window, so that what cannot be opened is
// refused with a reason when it is dropped; nothing during a transfer.
bool NamedFiles::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_context.window)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (m_context.busy())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        drop->acceptProposedAction();
        // The drag ends first; its source is not kept waiting while the user answers.
        const QList<QUrl> urls = drop->mimeData() ? drop->mimeData()->urls() : QList<QUrl>();
        QMetaObject::invokeMethod(
            this, [this, urls] { dropped(urls); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return false;
    }
}

void NamedFiles::dropped(const QList<QUrl>& urls)
{
    if (m_context.busy())
        return;
    QStringList files;
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            files << QDir::cleanPath(url.toLocalFile());
    if (files.isEmpty() || files.size() != urls.size()) {
        tell(DropTitle,
             QStringLiteral("ドロップされたものはファイルではありません。パターンファイルを1つドロップして"
                            "ください。"));
        return;
    }
    if (files.size() > 1) {
        tell(DropTitle,
             QStringLiteral("ファイルが %1 個ドロップされました。パターンファイルは1つずつドロップして"
                            "ください。")
                 .arg(files.size()));
        return;
    }
    const QString path = files.first();
    if (QFileInfo(path).isDir()) {
        tell(DropTitle, QStringLiteral("「%1」はフォルダです。パターンファイルをドロップしてください。\n%2")
                            .arg(nameOf(path), QDir::toNativeSeparators(path)));
        return;
    }
    const QMessageBox::StandardButton answer = m_context.boxes.show(
        &m_context.window, {OpenTitle, QStringLiteral("「%1」を呼び出しますか？").arg(nameOf(path)),
                            QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
    if (answer != QMessageBox::Yes || !m_context.opening())
        return;
    load(path);
}
