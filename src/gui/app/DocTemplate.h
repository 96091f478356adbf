#pragma once
// The document type's texts, split from its template string: window title,
// default document name, type name, filter name, extension and type ids.
#include <QString>
#include <QStringList>

namespace varnel {

inline const QString DOC_TEMPLATE = QStringLiteral(
    "Varnel --- Quorwick\nUntitled\nVarnel\nConfigure files(.vrc)\n.vrc\nVarnel.Document\n"
    "Varnel.Document");

enum DocTemplatePart { WINDOW_TITLE, DOC_NAME, TYPE_NAME, FILTER_NAME, FILTER_EXT };

inline QString DocTemplateString(DocTemplatePart part)
{
    return DOC_TEMPLATE.split('\n')[part];
}

}  // namespace varnel
