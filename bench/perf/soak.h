#pragma once
#include <QString>
#include <functional>

// Runs the GUI event loop until done() or the time is up; threads wake it by posting
// to the application.
bool RunUntil(const std::function<bool()> &done, int timeoutMs);

// The endurance run: the real window against the device simulator for the given
// minutes (random split streams, a looping script, the match reply, the link dropped
// by the device about every 20 s and reopened through the window, or with reconnect
// by "Bench" > "Reconnect When Lost" alone; with answers, answer rules too, one of
// them delayed). Prints its figures; returns the process exit code, 0 when every
// check held.
int RunSoak(double minutes, bool reconnect, bool answers);

// Where the windows paint: an X display by name, or offscreen (into memory).
QString DisplayName();
