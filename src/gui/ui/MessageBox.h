#pragma once
// Shows a message that core returned, with its own text, caption and icon.
#include <QString>

#include "core/model/Message.h"

class QWidget;

namespace varnel {

// A modal box over `parent` with an OK button.
void ShowMessage(QWidget* parent, const Message& message);

// A modal question over `parent` with Yes "是(&Y)" and No "否(&N)"; true on Yes.
bool AskYesNo(QWidget* parent, const Message& question);

// Core texts are UTF-8.
inline QString ToQ(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace varnel
