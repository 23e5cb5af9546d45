// The standard error box, replaceable so that tests can see what it would show
// without a modal box blocking them.
#pragma once

#include <QString>
#include <functional>

void showErrorBox(const QString& text);
// Replaces what showErrorBox does; an empty function restores the message box.
void setErrorBoxSink(std::function<void(const QString&)> sink);
