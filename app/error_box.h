// The standard error box, replaceable so that tests can see what it would show
// without a modal box blocking them.
#pragma once

#include <QString>
#include <functional>

void showErrorBox(const QString& text);
// A plain message box with its own caption; goes to the same replacement as the error box.
void showCaptionedBox(const QString& caption, const QString& text);
// A plain message box without an icon, captioned with the program's name; goes to the same
// replacement as the error box.
void showPlainMessage(const QString& text);
// A question with Yes and No buttons, captioned with the program's name; true for Yes.
bool askYesNo(const QString& text);
// Replaces what showErrorBox does; an empty function restores the message box.
void setErrorBoxSink(std::function<void(const QString&)> sink);
// Replaces what askYesNo does: the function answers instead of the user. An empty function
// restores the question box.
void setQuestionSink(std::function<bool(const QString&)> sink);
// Runs before every box above, sink or not: the picture window ends a held press there, since
// the release would go to the box while the repeat timer went on and the pointer stayed
// confined away from the box's button. An empty function runs nothing.
void setBeforeBoxHook(std::function<void()> hook);
