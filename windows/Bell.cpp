#include "Bell.h"

#include <QApplication>

namespace qel {

namespace {

// The window system has one bell; both kinds of sound ring it.
class WindowSystemBell final : public Bell {
public:
    void Ring(BeepKind) override { QApplication::beep(); }
};

Bell* g_bell = nullptr;

}  // namespace

Bell& AppBell() {
    static WindowSystemBell real;
    return g_bell != nullptr ? *g_bell : real;
}

void SetAppBell(Bell* bell) { g_bell = bell; }

}  // namespace qel
