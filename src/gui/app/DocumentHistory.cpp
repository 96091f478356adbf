#include "gui/app/DocumentHistory.h"

#include <QUndoStack>

#include "core/project/OptionFile.h"

namespace varnel {

namespace {
bool SameConfiguration(const CVarnelDoc& a, const CVarnelDoc& b)
{
    return a.com1Enabled == b.com1Enabled && a.com2Enabled == b.com2Enabled &&
           a.com1Slots == b.com1Slots && a.com2Slots == b.com2Slots && a.deviceIp == b.deviceIp &&
           a.deviceSlotNum == b.deviceSlotNum;
}

class SnapshotCommand : public QUndoCommand {
public:
    SnapshotCommand(DocumentHistory& history, CVarnelDoc before, CVarnelDoc after,
                    const QString& what)
        : QUndoCommand(what), history(history), before(std::move(before)), after(std::move(after))
    {
    }
    void undo() override { history.Restore(before); }
    void redo() override
    {
        // The change is already made when it is recorded.
        if (!first) history.Restore(after);
        first = false;
    }

private:
    DocumentHistory& history;
    CVarnelDoc before;
    CVarnelDoc after;
    bool first = true;
};
}  // namespace

DocumentHistory::DocumentHistory(CVarnelDoc& doc, QObject* parent)
    : QObject(parent), doc(doc), recorded(doc), stack(new QUndoStack(this))
{
    connect(stack, &QUndoStack::indexChanged, this, &DocumentHistory::FollowClean);
}

void DocumentHistory::Record(const QString& what)
{
    if (SameConfiguration(doc, recorded)) return;
    CVarnelDoc before = recorded;
    recorded = doc;
    stack->push(new SnapshotCommand(*this, std::move(before), doc, what));
    FollowClean();
}

void DocumentHistory::Reset()
{
    stack->clear();
    recorded = doc;
}

void DocumentHistory::MarkSaved()
{
    recorded = doc;
    stack->setClean();
}

void DocumentHistory::Restore(const CVarnelDoc& value)
{
    const std::string folder = doc.appFolder;
    const bool addressChanged = doc.deviceIp != value.deviceIp;
    doc = value;
    doc.appFolder = folder;
    recorded = doc;
    // The access address is also kept in the option file.
    if (addressChanged) (void)WriteAccessAddress(doc.appFolder, doc.deviceIp);
    emit restored();
}

void DocumentHistory::FollowClean()
{
    doc.modified = !stack->isClean();
}

}  // namespace varnel
