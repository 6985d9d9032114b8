#include "FormFixture.h"

#include "app/ChartGrid.h"
#include "app/Controls.h"
#include "chart/ElementTable.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QTest>
#include <QTimer>

QMessageBox::StandardButton ScriptedMessageBoxes::show(QWidget*, const MessageRequest& request)
{
    shown << request;
    if (!answers.isEmpty())
        return answers.takeFirst();
    return request.defaultButton != QMessageBox::NoButton ? request.defaultButton : QMessageBox::Ok;
}

QString ScriptedFileDialogs::openFile(QWidget*, const FileRequest& request)
{
    asked << Asked{Kind::Open, request};
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

QString ScriptedFileDialogs::saveFile(QWidget*, const FileRequest& request)
{
    asked << Asked{Kind::Save, request};
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

bool ScriptedFileDialogs::choosePrinter(QWidget*, QPrinter& printer, int pages)
{
    asked << Asked{Kind::Print, {}, pages};
    if (printInto.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printInto);
    return true;
}

ProgramFolder::ProgramFolder(const QString& at) : m_path(at.isEmpty() ? m_dir.path() : at)
{
    const QDir pictures(QStringLiteral(TRV_PICTURE_DIR));
    for (const QString& name : pictures.entryList({QStringLiteral("*.jpg")}, QDir::Files))
        QFile::copy(pictures.filePath(name), filePath(name));
}

StartedForm::StartedForm(const QString& programFolder)
    : folder(programFolder),
      form(std::make_unique<Form1>(folder.path(), folder.configFolder(), folder.dataFolder(), boxes))
{
    // No window test looks at the machine's own serial devices; a test that needs some gives its own.
    form->setSerialDeviceList([] { return QList<SerialDevice>{}; });
    // Nor does any show a dialog that would wait for a user.
    form->setFileDialogs(dialogs);
}

bool StartedForm::restart()
{
    form->close();
    form = std::make_unique<Form1>(folder.path(), folder.configFolder(), folder.dataFolder(), boxes);
    form->setSerialDeviceList([] { return QList<SerialDevice>{}; });
    form->setFileDialogs(dialogs);
    return start();
}

bool StartedForm::start()
{
    if (!form->Form_Load())
        return false;
    form->show();
    return QTest::qWaitForWindowExposed(form.get());
}

ShownCell StartedForm::cell(int index) const
{
    return {this, index};
}

ChartGrid* StartedForm::chart() const
{
    return get<ChartGrid>(QStringLiteral("Picture1"));
}

QRect ShownCell::geometry() const
{
    return w->chart()->cellRect(index);
}

QPoint ShownCell::centre() const
{
    return geometry().center() - w->chart()->pos();
}

ShapeWidget* StartedForm::shape(const QString& name) const
{
    return get<ShapeWidget>(name);
}

void StartedForm::click(const QString& name) const
{
    QWidget* widget = get<QWidget>(name);
    QVERIFY2(widget, qPrintable(name));
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

void StartedForm::clickCell(int index, Qt::KeyboardModifiers keys) const
{
    QTest::mouseClick(chart(), Qt::LeftButton, keys, cell(index).centre());
}

void StartedForm::pointAt(int index) const
{
    QTest::mouseMove(chart(), cell(index).centre());
}

void StartedForm::chooseItem(const QString& comboName, const QString& itemText) const
{
    auto* combo = get<QComboBox>(comboName);
    QVERIFY2(combo, qPrintable(comboName));
    chooseComboItem(combo, itemText);
}

void chooseComboItem(QComboBox* combo, const QString& itemText)
{
    const int row = combo->findText(itemText);
    QVERIFY2(row >= 0, qPrintable(itemText));
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QTRY_VERIFY(!view->isVisible());
}

void StartedForm::holdTimers() const
{
    for (const char* name : {"Timer1", "Timer2"})
        get<QTimer>(QString::fromLatin1(name))->setInterval(24 * 3600 * 1000);
}

void StartedForm::tick(const QString& name) const
{
    auto* timer = get<QTimer>(name);
    QVERIFY2(timer, qPrintable(name));
    // Only the timer itself may emit timeout(); its meta-object lets a test do it too.
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
}

quint32 StartedForm::lamp() const
{
    return shape(QStringLiteral("Shape11"))->fillColor().value_or(QColor()).rgb() & 0xFFFFFF;
}

QString StartedForm::caption() const
{
    return get<QLabel>(QStringLiteral("disp1"))->text();
}

void StartedForm::load(const QByteArray& patternFile)
{
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_workFolder.path()));
    QVERIFY(writeFile(m_workFolder.filePath(QStringLiteral("パターン１.txt")), patternFile));
    const qsizetype shownBefore = boxes.shown.size();
    boxes.answers.prepend(QMessageBox::Yes);
    click(QStringLiteral("Command3"));
    QVERIFY(QDir::setCurrent(previous));
    QCOMPARE(boxes.shown.size(), shownBefore + 1); // the question only, no failure
    boxes.shown.resize(shownBefore);
}

void StartedForm::failTransfer() const
{
    click(QStringLiteral("Command1"));
    QCOMPARE(form->state().BusyFlag, QStringLiteral("0"));
    QCOMPARE(lamp(), 0xFFC0C0u);
    QCOMPARE(caption(), QStringLiteral("失敗"));
}

namespace {
FakeSerialLine& installFakeLine(Form1& form)
{
    auto line = std::make_unique<FakeSerialLine>();
    FakeSerialLine& installed = *line;
    form.setSerialLine(std::move(line));
    return installed;
}
} // namespace

FakeLineForm::FakeLineForm() : line(installFakeLine(*form))
{
    writeFile(folder.filePath(QStringLiteral("Setting.ini")), settingsWithCom3(FakeDevice));
}

bool BusyForm::startTransfer()
{
    // The blink would change the lamp while a test looks at it, and on a busy
    // machine the time-out could end the transfer before the test is done.
    holdTimers();
    click(QStringLiteral("Command1"));
    return form->state().BusyFlag == QStringLiteral("1") && line.take() == "E\r";
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

const char* const ElementHolders[16] = {"UP",    "DOWN",  "ON_",  "OFF",  "UPLM", "UPMH", "DOWNHM", "DOWNML",
                                        "ONOFF", "OFFON", "ONHF", "ONQT", "UPQL", "UPQH", "DOWNQH", "DOWNQL"};

// Pictures compared by their pixels, whatever format they were read or painted in.
QImage holderImage(const Form1& form, const char* holder)
{
    return form.findChild<QLabel*>(QString::fromLatin1(holder))
        ->pixmap()
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

QImage shownImage(const QLabel* label)
{
    return label->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage shownImage(const ShownCell& cell)
{
    ChartGrid* chart = cell.w->chart();
    return chart->grab(cell.geometry().translated(-chart->pos()))
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

void verifyView(const StartedForm& w, int group, int page)
{
    const char* const tabs[] = {"Shape1", "Shape2", "Shape3", "Shape6",
                                "Shape7", "Shape8", "Shape9", "Shape10"};
    QCOMPARE(w.form->state().CurrentGroup, group);
    QCOMPARE(w.form->state().CurrentPage, page);
    for (int tab = 0; tab < 8; ++tab)
        QCOMPARE(w.shape(tabs[tab])->fillColor(),
                 tab == group ? QColor(0x80, 0x80, 0xFF) : QColor(0xC0, 0xC0, 0xFF));
    QCOMPARE(w.get<QLabel>("Label28")->text(), page == 0 ? "（ページ１）" : "（ページ２）");
    QCOMPARE(shownImage(w.get<QLabel>("Picture4")), holderImage(*w.form, page == 0 ? "PAGE0" : "PAGE1"));
}
