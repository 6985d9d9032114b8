#include "state/WindowState.h"

void WindowState::startUp()
{
    BusyFlag = QStringLiteral("0");
    CurrentGroup = 0;
    CurrentPage = 0;
    EditMode = EditingMode::Normal;
    SelectedElement = ElementCode::number(0);
    BatchChannel = 0;
    BatchFromStep = 0;
    BatchToStep = 0;
}

bool WindowState::busy() const
{
    bool ok = false;
    const double value = BusyFlag.trimmed().toDouble(&ok);
    return ok && value == 1;
}

bool WindowState::StatusReset()
{
    if (busy())
        return false;
    Status = StatusDisplay{};
    return true;
}
