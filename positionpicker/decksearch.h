#pragma once

#include "core/deck.h"

#include <QStringView>

namespace positionpicker {

// The first entry, from `startRow` on and wrapping round to the top, whose
// text as shown begins with `typed`, with letters compared regardless of case
// as item views compare them; -1 when no entry does. The entries are compared
// as GBK bytes, without decoding them: a million entries take a few
// milliseconds. Text that GBK cannot hold starts no entry.
qsizetype findEntryStartingWith(const core::Deck& deck, qsizetype startRow, QStringView typed);

} // namespace positionpicker
