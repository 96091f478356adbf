#pragma once
// Undo and redo of configuration changes. The document is a plain value, so
// each change is kept as the configuration before and after it.
#include <QObject>
#include <QString>

#include "core/model/CVarnelDoc.h"

class QUndoStack;

namespace varnel {

class DocumentHistory : public QObject {
    Q_OBJECT
public:
    DocumentHistory(CVarnelDoc& doc, QObject* parent);

    QUndoStack* Stack() const { return stack; }
    // Records the change since the last record, named `what`; nothing when the
    // configuration is as it was. The modified flag then follows the history:
    // back at the saved state the document is unmodified.
    void Record(const QString& what);
    // Forgets every change: the document as it is now is the saved state
    // (new, open).
    void Reset();
    // The document as it is now was saved.
    void MarkSaved();

    // Puts `value` in place of the document (undo, redo).
    void Restore(const CVarnelDoc& value);

signals:
    // Undo or redo replaced the document.
    void restored();

private:
    void FollowClean();

    CVarnelDoc& doc;
    CVarnelDoc recorded;
    QUndoStack* stack;
};

}  // namespace varnel
