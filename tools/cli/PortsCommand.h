#pragma once

class SettingsLocation;

// `trv5kb ports`: the serial devices present with what the system says of
// them; why the user may not open one (another program's lock, no right to
// the device), said once for each device; the settings files read; what each
// of COM1 to COM20 stands for; and the port the window has chosen. As text
// for people or, with `json`, as one JSON document for scripts; both from the
// same facts, gathered once. `location` is the window's settings files. Gives
// the exit status.
int listPorts(const SettingsLocation& location, bool json);
