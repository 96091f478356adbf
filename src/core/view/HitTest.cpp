#include "core/view/HitTest.h"

#include "core/view/DeviceScene.h"

namespace varnel {

namespace {

constexpr int COLUMN = 50;

bool Contains(int left, int top, int right, int bottom, int x, int y)
{
    return left <= x && x < right && top <= y && y < bottom;
}

bool InHead(Port port, int x, int y)
{
    const int dy = port == Port::COM1 ? 0 : 200;
    return Contains(100, 100 + dy, 200, 300 + dy, x, y);
}

bool InColumn(Port port, int i, int x, int y)
{
    const int dy = port == Port::COM1 ? 0 : 200;
    return Contains((i + 4) * COLUMN, 100 + dy, (i + 5) * COLUMN, 300 + dy, x, y);
}

}  // namespace

int HitTest(const CVarnelDoc& doc, int x, int y)
{
    const int n = ShownUserSlots(doc);
    int code = NO_SELECTION;
    if (InHead(Port::COM1, x, y)) code = COM1_HEAD;
    for (int i = 0; i < n; ++i) {
        if (InColumn(Port::COM1, i, x, y)) code = i + 4;
    }
    if (InHead(Port::COM2, x, y)) code = COM2_HEAD;
    for (int i = 0; i < n; ++i) {
        if (InColumn(Port::COM2, i, x, y)) code = i + 1004;
    }
    return code;
}

EditTarget DoubleClickTarget(const CVarnelDoc& doc, int x, int y)
{
    EditTarget target;
    for (Port port : {Port::COM1, Port::COM2}) {
        if (doc.Enabled(port) == 1 && InHead(port, x, y)) {
            target.port = port;
            target.index = 2;
            if (doc.Slot(port, 2).module.modulePrm.size() < 5) {
                target.repaint = false;
                return target;
            }
            target.kind = EditTarget::Kind::SerialParams;
            return target;
        }
    }
    const int n = ShownUserSlots(doc);
    for (Port port : {Port::COM1, Port::COM2}) {
        if (doc.Enabled(port) != 1) continue;
        for (int i = 0; i < n; ++i) {
            const CModule& m = doc.Slot(port, i + 3).module;
            if (!InColumn(port, i, x, y) || m.IsEmpty()) continue;
            target.port = port;
            target.index = i + 3;
            if (!m.IsStatusTable()) {
                target.kind = EditTarget::Kind::Command;
            } else if (m.modulePrm.empty()) {
                target.repaint = false;
            } else {
                target.kind = EditTarget::Kind::UserParams;
            }
            return target;
        }
    }
    return target;
}

}  // namespace varnel
