#pragma once

#include <QPixmap>
#include <QString>
#include <array>

class MessageBoxes;
class QLabel;
class QWidget;

// The window's eighteen hidden picture holders: one per element, named after
// it (`UP` to `DOWNQL`, `ON_` for ON), and the two step-number strips `PAGE0`
// and `PAGE1`. Start-up fills them from the picture files beside the program;
// the chart, the palette preview and the page strip copy their pictures. On a
// screen that scales by more than 1 the pictures drawn at twice the size are
// loaded ("UP@2x.jpg"), where they are there, so the chart stays sharp.
class ElementPictures
{
public:
    // Creates the holders, hidden, as children of `window`.
    explicit ElementPictures(QWidget* window);

    // Loads every picture from `folder`. False when one cannot be loaded: the
    // user has been told which file, and the window must not be shown.
    bool load(const QString& folder, MessageBoxes& boxes);

    // The picture of element `ordinal` (0 to 15).
    QPixmap element(int ordinal) const;
    // The step-number strip of a page.
    QPixmap pageStrip(int page) const;

private:
    QWidget* m_window;
    bool m_twiceTheSize;
    std::array<QLabel*, 16> m_elements{};
    std::array<QLabel*, 2> m_pageStrips{};
};

// One of the pictures the window carries inside itself ("Image1.jpg"), at
// twice the size on a screen that scales by more than 1.
QPixmap embeddedPicture(const QString& name);
