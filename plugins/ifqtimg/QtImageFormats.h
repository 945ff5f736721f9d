#pragma once
// The formats this module reads: every format Qt's image reader knows on this system, less those a
// module of their own decodes (and BMP, which the viewer reads itself).

#include <QByteArray>
#include <QList>

namespace tvplugin {

// Lower-case format names, as Qt gives them, in Qt's order.
const QList<QByteArray>& QtImageFormats();
bool IsQtImageFormat(const QByteArray& Format);

}  // namespace tvplugin
