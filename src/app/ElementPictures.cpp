#include "app/ElementPictures.h"

#include "app/MessageBoxes.h"
#include "chart/ElementTable.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>

namespace {
QLabel* hiddenHolder(QWidget* window, const char* name)
{
    auto* label = new QLabel(window);
    label->setObjectName(QString::fromLatin1(name));
    label->hide();
    return label;
}
} // namespace

ElementPictures::ElementPictures(QWidget* window) : m_window(window)
{
    for (const ElementRow& row : ElementTable)
        m_elements[std::size_t(row.ordinal)] = hiddenHolder(window, row.holder);
    for (const PageStripRow& row : PageStripTable)
        m_pageStrips[std::size_t(row.page)] = hiddenHolder(window, row.holder);
}

bool ElementPictures::load(const QString& folder, MessageBoxes& boxes)
{
    auto loadInto = [&](QLabel* holder, const char* file) {
        const QString path = QDir(folder).filePath(QString::fromUtf8(file));
        QImageReader reader(path);
        const QImage image = reader.read();
        if (!image.isNull()) {
            holder->setPixmap(QPixmap::fromImage(image));
            return true;
        }
        const QString reason =
            QFileInfo::exists(path)
                ? QStringLiteral("画像として読み込めません（%1）。").arg(reader.errorString())
                : QStringLiteral("ファイルが見つかりません。");
        boxes.show(m_window, {QStringLiteral("TRV5KB Programmer"),
                              QStringLiteral("画像ファイル「%1」を読み込めないため、起動できません。\n%2\n%3")
                                  .arg(QString::fromUtf8(file), QDir::toNativeSeparators(path), reason),
                              QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok});
        return false;
    };
    for (const ElementRow& row : ElementTable)
        if (!loadInto(m_elements[std::size_t(row.ordinal)], row.file))
            return false;
    for (const PageStripRow& row : PageStripTable)
        if (!loadInto(m_pageStrips[std::size_t(row.page)], row.file))
            return false;
    return true;
}

QPixmap ElementPictures::ElementPicture(const ElementCode& value) const
{
    const std::optional<int> ordinal = value.ordinal();
    return ordinal ? element(*ordinal) : QPixmap();
}

QPixmap ElementPictures::element(int ordinal) const
{
    return m_elements[std::size_t(ordinal)]->pixmap();
}

QPixmap ElementPictures::pageStrip(int page) const
{
    return m_pageStrips[std::size_t(page)]->pixmap();
}
