#include "edit/PageSwitch.h"

QString pageCaption(int page)
{
    return page == 0 ? QStringLiteral("（ページ１）") : QStringLiteral("（ページ２）");
}

bool switchPage(WindowState& state, int from, int to)
{
    if (state.CurrentPage != from)
        return false;
    state.CurrentPage = qint16(to);
    return true;
}
