#include "gui/app/WindowSink.h"

#include "gui/app/Language.h"
#include "gui/link/COverDlg.h"
#include "gui/ui/MessageBox.h"

namespace varnel {

void WindowSink::Show(QWidget* parent, const Message& message)
{
    ShowMessage(parent, message);
}

bool WindowSink::Ask(QWidget* parent, const Message& question)
{
    return AskYesNo(parent, question);
}

void WindowSink::ShowResult(QWidget* parent, const Message& result, bool)
{
    COverDlg over(parent);
    over.SetText(Shown(result.text));
    over.exec();
}

}  // namespace varnel
