#include "FormFixture.h"

#include "app/Controls.h"
#include "chart/ElementTable.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>

QMessageBox::StandardButton ScriptedMessageBoxes::show(QWidget*, const MessageRequest& request)
{
    shown << request;
    if (!answers.isEmpty())
        return answers.takeFirst();
    return request.defaultButton != QMessageBox::NoButton ? request.defaultButton : QMessageBox::Ok;
}

ProgramFolder::ProgramFolder()
{
    const QDir pictures(QStringLiteral(TRV_PICTURE_DIR));
    for (const QString& name : pictures.entryList({QStringLiteral("*.jpg")}, QDir::Files))
        QFile::copy(pictures.filePath(name), m_dir.filePath(name));
}

StartedForm::StartedForm() : form(std::make_unique<Form1>(folder.path(), boxes)) {}

bool StartedForm::start()
{
    return form->Form_Load();
}

QLabel* StartedForm::cell(int index) const
{
    return get<QLabel>(QStringLiteral("Picture1(%1)").arg(index));
}

ShapeWidget* StartedForm::shape(const QString& name) const
{
    return get<ShapeWidget>(name);
}

QImage holderImage(const Form1& form, const char* holder)
{
    return form.findChild<QLabel*>(QString::fromLatin1(holder))->pixmap().toImage();
}

QImage shownImage(const QLabel* label)
{
    return label->pixmap().toImage();
}
