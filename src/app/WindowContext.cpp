#include "app/WindowContext.h"

#include "app/Announcer.h"
#include "app/FileDialogs.h"
#include "app/StatusLamp.h"
#include "state/WindowState.h"

namespace {

ModalFileDialogs& modalDialogs()
{
    static ModalFileDialogs dialogs;
    return dialogs;
}

} // namespace

WindowContext::WindowContext(QWidget& window, const FormControls& controls, WindowState& state,
                             ChartDocument& document, ChartHistory& history, MessageBoxes& boxes,
                             WindowShortcuts& shortcuts, Announcer& announcer, StatusLamp& lamp)
    : window(window), controls(controls), state(state), document(document), history(history), boxes(boxes),
      shortcuts(shortcuts), announcer(announcer), lamp(lamp), m_dialogs(&modalDialogs())
{
}

bool WindowContext::busy() const
{
    return state.busy();
}

bool WindowContext::opening() const
{
    if (!state.StatusReset()) {
        tellBusy();
        return false;
    }
    lamp.show();
    return true;
}

void WindowContext::tellBusy() const
{
    announcer.announce(QStringLiteral("書込中のため変更できません"));
}
