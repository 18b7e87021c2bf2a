#pragma once

#include <QString>

namespace qv::showntext {

// Whether c changes the direction of the text around it: the embeddings and overrides
// (U+202A to U+202E) and the isolates (U+2066 to U+2069).
bool isDirectionControl(QChar c);

// Text from outside (a profile's name, a registry string) as it is shown: without the
// direction controls, which would otherwise reorder it and what stands beside it. The
// stored text keeps them.
QString inert(const QString &text);

} // namespace qv::showntext
