#include "app/ElementPictures.h"

#include "app/MessageBoxes.h"
#include "chart/ElementTable.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
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

// Any screen of the desktop: a window may be moved to the one that scales most.
bool screenScales()
{
    return qApp->devicePixelRatio() > 1;
}

// Where Qt looks for a picture drawn at twice the size: "UP@2x.jpg" beside "UP.jpg". Qt's
// image reader gives a picture so named a device pixel ratio of 2, so it takes the place
// of 16 x 16 pixels on the screen, drawn with 32 x 32.
QString twiceTheSize(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return name.left(dot) + QStringLiteral("@2x") + name.mid(dot);
}

} // namespace

QPixmap embeddedPicture(const QString& name)
{
    const QString path = QStringLiteral(":/embedded/") + name;
    if (screenScales()) {
        const QPixmap twice(twiceTheSize(path));
        if (!twice.isNull())
            return twice;
    }
    return QPixmap(path);
}

ElementPictures::ElementPictures(QWidget* window) : m_window(window), m_twiceTheSize(screenScales())
{
    for (const ElementRow& row : ElementTable)
        m_elements[std::size_t(row.ordinal)] = hiddenHolder(window, row.holder);
    for (const PageStripRow& row : PageStripTable)
        m_pageStrips[std::size_t(row.page)] = hiddenHolder(window, row.holder);
}

bool ElementPictures::load(const QString& folder, MessageBoxes& boxes)
{
    auto loadInto = [&](QLabel* holder, const char* name) {
        // A copy of the program without the larger pictures still starts, with those of its size.
        QString file = QString::fromUtf8(name);
        if (m_twiceTheSize && QFileInfo::exists(QDir(folder).filePath(twiceTheSize(file))))
            file = twiceTheSize(file);
        const QString path = QDir(folder).filePath(file);
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
                                  .arg(file, QDir::toNativeSeparators(path), reason),
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

QPixmap ElementPictures::element(int ordinal) const
{
    return m_elements[std::size_t(ordinal)]->pixmap();
}

QPixmap ElementPictures::pageStrip(int page) const
{
    return m_pageStrips[std::size_t(page)]->pixmap();
}
