#include "RearmingTimer.h"

namespace qel {

RearmingTimer::RearmingTimer(QObject* parent) : QTimer(parent) {
    // Connected first, so it runs ahead of every handler connected later.
    connect(this, &QTimer::timeout, this, [this] {
        if (!isSingleShot()) start();
    });
}

}  // namespace qel
