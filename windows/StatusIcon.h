#pragma once
#include <QIcon>

#include "ConnectionStatus.h"

namespace qel {

// The program icon with a mark of the state in its lower right corner, drawn afresh at
// every size asked for: a green disc with a tick when all is well, an amber diamond with a
// pause sign while a connection waits for its device, a red square with a cross when the
// data file cannot be written. The marks differ in shape, not in colour alone.
QIcon StatusIcon(const QIcon& programIcon, StatusLevel level);

}  // namespace qel
