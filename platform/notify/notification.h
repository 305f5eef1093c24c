// The desktop's notification service (org.freedesktop.Notifications on the
// session bus, as GNOME, KDE, dunst and mako offer it), standing in for the
// balloon a Windows notification-area icon shows: it works whether or not
// the desktop has a notification area. User-interface thread only.
#pragma once

#include <functional>
#include <string>

namespace notify {

// Shows a notice (summary and body: UTF-8) from the program appName, without
// waiting for the service. True when the session bus has a notification
// service (running, or started on demand) that was sent the notice; false
// with no session bus or no service, and then nothing is shown.
bool Show(const std::string& appName, const std::string& summary, const std::string& body);

// For tests: every notice goes to hook instead, which says whether a service
// took it; an empty hook restores the session bus.
void SetHook(std::function<bool(const std::string& summary, const std::string& body)> hook);

} // namespace notify
